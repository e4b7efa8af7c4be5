// The upload of the log archive to the log bucket on Amazon S3.
#pragma once

// Puts the file at archivePath into the log bucket as the object objectKey with one PutObject
// request. The outcome goes only to the debugger output channel and standard output; the
// archive file is closed again when this returns, so the caller may delete it. Two calls must
// not overlap in the process: each starts and shuts down the SDK as a whole.
void PutLogArchive(const char* accessKeyId, const char* secretKey, const char* objectKey, const char* archivePath);
