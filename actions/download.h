// Fetching one file from an address on the worker thread: the updater of an update job, the
// notice image, the remote-support program.
#pragma once

// Fetches the body at `pszUrl` into the file `pszPath` and gives its size in bytes, or 0 when
// the download failed. The body is written to a temporary file beside the target, which
// replaces the target only when the whole body has arrived with a 2xx status and holds no
// S3 error document; on every failure the target keeps what it held (or stays absent). An
// empty body is a complete download: the target then exists with 0 bytes and the result is 0.
// Writes nothing to the log.
int DownloadUrlToFile(const char* pszUrl, const char* pszPath);
