// The deployment's two host names for shortcut provisioning. The build writes them from its
// settings TX_DOWNLOAD_HOST and TX_WEB_HOST (see actions/CMakeLists.txt).
#pragma once

// The HTTPS endpoint of the bucket that holds the remote-support program.
extern const char g_szDownloadHost[];
// The product's web site, which the web shortcut opens.
extern const char g_szWebHost[];
