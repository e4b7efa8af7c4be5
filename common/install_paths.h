// The controller's fixed install root and the paths composed from it. The root is not
// configurable: every program of the product finds the others through it.
#pragma once

#define TX_INSTALL_ROOT "C:\\talvex"
#define TX_LOG_SUBFOLDER "\\log\\conlog"
#define TX_BIN_SUBFOLDER "\\bin\\"
#define TX_CONFIG_FILE_NAME "txconfig.ini"
