// Every Windows error number the layer reports, in one place, with the documented meaning.
// Values: learn.microsoft.com, "System Error Codes" and "WinINet error codes".
#pragma once

#define ERROR_SUCCESS 0L
#define NO_ERROR 0L
// The system cannot find the file specified.
#define ERROR_FILE_NOT_FOUND 2L
// The system cannot find the path specified (a folder on the way is missing).
#define ERROR_PATH_NOT_FOUND 3L
// The system cannot open the file (too many open files).
#define ERROR_TOO_MANY_OPEN_FILES 4L
// Access is denied (also: the target is a folder where a file was expected).
#define ERROR_ACCESS_DENIED 5L
// The handle is invalid.
#define ERROR_INVALID_HANDLE 6L
// Not enough memory resources are available to process this command.
#define ERROR_NOT_ENOUGH_MEMORY 8L
// The data is invalid.
#define ERROR_INVALID_DATA 13L
// Not enough memory resources are available to complete this operation.
#define ERROR_OUTOFMEMORY 14L
// The system cannot find the drive specified.
#define ERROR_INVALID_DRIVE 15L
// There are no more files.
#define ERROR_NO_MORE_FILES 18L
// The media is write protected.
#define ERROR_WRITE_PROTECT 19L
// The device does not recognize the command.
#define ERROR_BAD_COMMAND 22L
// The program issued a command but the command length is incorrect (a record's size field).
#define ERROR_BAD_LENGTH 24L
// The system cannot move the file to a different disk drive.
#define ERROR_NOT_SAME_DEVICE 17L
// The process cannot access the file because it is being used by another process.
#define ERROR_SHARING_VIOLATION 32L
// The process cannot access the file because another process has locked a portion of it.
#define ERROR_LOCK_VIOLATION 33L
// Reached the end of the file.
#define ERROR_HANDLE_EOF 38L
// The request is not supported.
#define ERROR_NOT_SUPPORTED 50L
// The file exists.
#define ERROR_FILE_EXISTS 80L
// The parameter is incorrect.
#define ERROR_INVALID_PARAMETER 87L
// The pipe has been ended.
#define ERROR_BROKEN_PIPE 109L
// There is not enough space on the disk.
#define ERROR_DISK_FULL 112L
// The data area passed to a system call is too small.
#define ERROR_INSUFFICIENT_BUFFER 122L
// The filename, directory name, or volume label syntax is incorrect.
#define ERROR_INVALID_NAME 123L
// The specified module could not be found.
#define ERROR_MOD_NOT_FOUND 126L
// The specified procedure could not be found.
#define ERROR_PROC_NOT_FOUND 127L
// An attempt was made to move the file pointer before the beginning of the file.
#define ERROR_NEGATIVE_SEEK 131L
// The directory is not empty.
#define ERROR_DIR_NOT_EMPTY 145L
// The name of the file cannot be resolved by the system (a loop of links).
#define ERROR_CANT_RESOLVE_FILENAME_LOOP 1921L
// The specified path is invalid.
#define ERROR_BAD_PATHNAME 161L
// Cannot create a file when that file already exists.
#define ERROR_ALREADY_EXISTS 183L
// %1 is not a valid Win32 application.
#define ERROR_BAD_EXE_FORMAT 193L
// The filename or extension is too long.
#define ERROR_FILENAME_EXCED_RANGE 206L
// More data is available (the buffer was too small).
#define ERROR_MORE_DATA 234L
// No more data is available.
#define ERROR_NO_MORE_ITEMS 259L
// The directory name is invalid.
#define ERROR_DIRECTORY 267L
// Attempt to access invalid address.
#define ERROR_INVALID_ADDRESS 487L
// The operation was canceled by the user.
#define ERROR_CANCELLED 1223L
// The message can be used only with synchronous operations (a pointer message was posted).
#define ERROR_MESSAGE_SYNC_ONLY 1159L
// Invalid window handle.
#define ERROR_INVALID_WINDOW_HANDLE 1400L
// Invalid accelerator table handle.
#define ERROR_INVALID_ACCEL_HANDLE 1403L
// Cannot find window class.
#define ERROR_CANNOT_FIND_WND_CLASS 1407L
// Class already exists.
#define ERROR_CLASS_ALREADY_EXISTS 1410L
// The specified image file did not contain a resource section.
#define ERROR_RESOURCE_DATA_NOT_FOUND 1812L
// The specified resource type cannot be found in the image file.
#define ERROR_RESOURCE_TYPE_NOT_FOUND 1813L
// The specified resource name cannot be found in the image file.
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814L
// The specified resource language ID cannot be found in the image file.
#define ERROR_RESOURCE_LANG_NOT_FOUND 1815L
// This operation returned because the timeout period expired.
#define ERROR_TIMEOUT 1460L
// The registry could not read in, or write out, or flush, one of the files of the hive.
#define ERROR_REGISTRY_IO_FAILED 1016L
// The configuration registry key is invalid.
#define ERROR_BADKEY 1010L
// The configuration registry key could not be opened.
#define ERROR_CANTOPEN 1011L

// WinINet (12000 and up).
// The operation timed out.
#define ERROR_INTERNET_TIMEOUT 12002L
// An extended error was returned from the server.
#define ERROR_INTERNET_EXTENDED_ERROR 12003L
// An internal error occurred.
#define ERROR_INTERNET_INTERNAL_ERROR 12004L
// The URL is invalid.
#define ERROR_INTERNET_INVALID_URL 12005L
// The URL scheme could not be recognized or is not supported.
#define ERROR_INTERNET_UNRECOGNIZED_SCHEME 12006L
// The server name could not be resolved.
#define ERROR_INTERNET_NAME_NOT_RESOLVED 12007L
// A request to InternetQueryOption or InternetSetOption specified an invalid option value.
#define ERROR_INTERNET_INVALID_OPTION 12009L
// The length of an option supplied to InternetQueryOption or InternetSetOption is incorrect
// for the type of option specified.
#define ERROR_INTERNET_BAD_OPTION_LENGTH 12010L
// The operation was canceled.
#define ERROR_INTERNET_OPERATION_CANCELLED 12017L
// The handle is of the wrong type for the operation.
#define ERROR_INTERNET_INCORRECT_HANDLE_TYPE 12018L
// The connection with the server was reset.
#define ERROR_INTERNET_CONNECTION_RESET 12031L
// The connection with the server was terminated abnormally.
#define ERROR_INTERNET_CONNECTION_ABORTED 12030L
// A connection with the server could not be established.
#define ERROR_INTERNET_CANNOT_CONNECT 12029L
// The SSL certificate common name (host name field) is incorrect.
#define ERROR_INTERNET_SEC_CERT_CN_INVALID 12038L
// The SSL certificate date is invalid.
#define ERROR_INTERNET_SEC_CERT_DATE_INVALID 12037L
// The application is moving from an SSL to a non-SSL connection because of a redirect.
#define ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR 12040L
// The certificate authority is invalid or incorrect.
#define ERROR_INTERNET_INVALID_CA 12045L
// The SSL certificate is invalid.
#define ERROR_INTERNET_SEC_INVALID_CERT 12169L
// An error occurred in the secure channel support.
#define ERROR_INTERNET_SECURITY_CHANNEL_ERROR 12157L
// The server response could not be parsed.
#define ERROR_HTTP_INVALID_SERVER_RESPONSE 12152L
// The requested header could not be located.
#define ERROR_HTTP_HEADER_NOT_FOUND 12150L
// The redirection failed (scheme change or too many redirections).
#define ERROR_HTTP_REDIRECT_FAILED 12156L

// COM results.
#define S_OK static_cast<HRESULT>(0L)
#define S_FALSE static_cast<HRESULT>(1L)
#define E_NOTIMPL static_cast<HRESULT>(0x80004001L)
#define E_NOINTERFACE static_cast<HRESULT>(0x80004002L)
#define E_POINTER static_cast<HRESULT>(0x80004003L)
#define E_FAIL static_cast<HRESULT>(0x80004005L)
#define E_OUTOFMEMORY static_cast<HRESULT>(0x8007000EL)
#define E_INVALIDARG static_cast<HRESULT>(0x80070057L)
#define E_ACCESSDENIED static_cast<HRESULT>(0x80070005L)
#define CO_E_NOTINITIALIZED static_cast<HRESULT>(0x800401F0L)
#define REGDB_E_CLASSNOTREG static_cast<HRESULT>(0x80040154L)
#define CLASS_E_NOAGGREGATION static_cast<HRESULT>(0x80040110L)
#define RPC_E_CHANGED_MODE static_cast<HRESULT>(0x80010106L)
#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)
#define HRESULT_FROM_WIN32(x) \
  (static_cast<HRESULT>(x) <= 0 ? static_cast<HRESULT>(x) \
                                : static_cast<HRESULT>(((x) & 0x0000FFFF) | (7 << 16) | 0x80000000))

// SHFileOperation's legacy results, older than Win32 and in no Windows header; the numbers
// overlap Winerror.h values of other meaning. Source: learn.microsoft.com, "SHFileOperationA",
// return value table.
// The source and destination files are the same file.
#define DE_SAMEFILE 0x71
// The source is a root directory, which cannot be moved or renamed.
#define DE_ROOTDIR 0x74
// The destination is a subtree of the source.
#define DE_DESTSUBTREE 0x76
// The path in the source or destination or both was invalid.
#define DE_INVALIDFILES 0x7C
// The destination path is an existing file.
#define DE_FLDDESTISFILE 0x7E
