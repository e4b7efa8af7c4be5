// Identifiers of the controller's resources, shared by the resource script and the code
// that loads them.
#pragma once

#define IDS_APP_TITLE 103
#define IDM_ABOUT 104
#define IDM_EXIT 105
#define IDI_TXCONTROLLER 107
#define IDI_SMALL 108
#define IDC_TXCONTROLLER 109
#define IDR_FAVICON 139
#define IDM_SENDLOG 32772
