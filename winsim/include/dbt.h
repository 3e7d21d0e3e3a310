// Device broadcasts: WM_DEVICECHANGE and the records it carries, as the SDK names them (only the
// volume notice a CD drive sends).
#pragma once
#include "windef.h"

#define WM_DEVICECHANGE 0x0219

#define DBT_DEVICEARRIVAL 0x8000
#define DBT_DEVICEREMOVECOMPLETE 0x8004

#define DBT_DEVTYP_VOLUME 0x00000002

#define DBTF_MEDIA 0x0001

struct _DEV_BROADCAST_HDR {
    DWORD dbch_size;
    DWORD dbch_devicetype;
    DWORD dbch_reserved;
};
typedef struct _DEV_BROADCAST_HDR DEV_BROADCAST_HDR;
typedef DEV_BROADCAST_HDR* PDEV_BROADCAST_HDR;

struct _DEV_BROADCAST_VOLUME {
    DWORD dbcv_size;
    DWORD dbcv_devicetype;
    DWORD dbcv_reserved;
    DWORD dbcv_unitmask;
    WORD dbcv_flags;
};
typedef struct _DEV_BROADCAST_VOLUME DEV_BROADCAST_VOLUME;
typedef DEV_BROADCAST_VOLUME* PDEV_BROADCAST_VOLUME;
