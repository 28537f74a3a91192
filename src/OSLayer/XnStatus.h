#pragma once

// Status codes: 0 is success, any other value is (group << 16) | code.

#include "OSLayer/XnPlatform.h"

typedef XnUInt32 XnStatus;

#define XN_STATUS_MAKE(group, code) ((XnStatus)(((XnUInt32)(group) << 16) | (XnUInt32)(code)))

#define XN_STATUS_OK                          ((XnStatus)0)
#define XN_STATUS_ERROR                       ((XnStatus)0x10001)
#define XN_STATUS_NULL_INPUT_PTR              ((XnStatus)0x10004)
#define XN_STATUS_NULL_OUTPUT_PTR             ((XnStatus)0x10005)
#define XN_STATUS_OUTPUT_BUFFER_OVERFLOW      ((XnStatus)0x10007)
#define XN_STATUS_INTERNAL_BUFFER_TOO_SMALL   ((XnStatus)0x10008)
#define XN_STATUS_LOG_FILE_NOT_ACTIVE         ((XnStatus)0x10012)
#define XN_STATUS_ALLOC_FAILED                ((XnStatus)0x20001)
#define XN_STATUS_OS_FILE_NOT_FOUND           ((XnStatus)0x20004)
#define XN_STATUS_OS_INI_FILE_NOT_FOUND       ((XnStatus)0x20005)
#define XN_STATUS_OS_FILE_ALREDY_EXISTS       ((XnStatus)0x20006)
#define XN_STATUS_OS_FILE_OPEN_FAILED         ((XnStatus)0x20007)
#define XN_STATUS_OS_FILE_CLOSE_FAILED        ((XnStatus)0x20008)
#define XN_STATUS_OS_FILE_READ_FAILED         ((XnStatus)0x20009)
#define XN_STATUS_OS_FILE_WRITE_FAILED        ((XnStatus)0x2000A)
#define XN_STATUS_OS_FILE_SEEK_FAILED         ((XnStatus)0x2000B)
#define XN_STATUS_OS_FILE_TELL_FAILED         ((XnStatus)0x2000C)
#define XN_STATUS_OS_FILE_FLUSH_FAILED        ((XnStatus)0x2000D)
#define XN_STATUS_OS_FILE_GET_SIZE_FAILED     ((XnStatus)0x2000E)
#define XN_STATUS_OS_INI_READ_FAILED          ((XnStatus)0x2000F)
#define XN_STATUS_OS_INVALID_SEEK_TYPE        ((XnStatus)0x20011)
#define XN_STATUS_OS_MUTEX_CREATION_FAILED    ((XnStatus)0x20019)
#define XN_STATUS_OS_MUTEX_CLOSE_FAILED       ((XnStatus)0x2001A)
#define XN_STATUS_OS_MUTEX_LOCK_FAILED        ((XnStatus)0x2001B)
#define XN_STATUS_OS_MUTEX_TIMEOUT            ((XnStatus)0x2001C)
#define XN_STATUS_OS_MUTEX_UNLOCK_FAILED      ((XnStatus)0x2001D)
#define XN_STATUS_OS_GET_TIME_FAILED          ((XnStatus)0x20023)
#define XN_STATUS_OS_TIMER_QUERY_FAILED       ((XnStatus)0x20036)
#define XN_STATUS_OS_INVALID_FILE             ((XnStatus)0x20038)
#define XN_STATUS_OS_INVALID_MUTEX            ((XnStatus)0x2003A)
#define XN_STATUS_OS_INI_WRITE_FAILED         ((XnStatus)0x20040)
#define XN_STATUS_OS_FAILED_TO_CREATE_DIR     ((XnStatus)0x20041)
#define XN_STATUS_OS_FAILED_TO_DELETE_FILE    ((XnStatus)0x20042)
#define XN_STATUS_OS_PROCESS_CREATION_FAILED  ((XnStatus)0x20085)
#define XN_STATUS_OS_ENV_VAR_NOT_FOUND        ((XnStatus)0x2008C)

#define XN_IS_STATUS_OK(x) ((x) == XN_STATUS_OK)

// One registered code: its name and message. Registration copies both.
struct XnErrorCodeData {
    XnUInt32 nCode;
    const XnChar* csName;
    const XnChar* csMessage;
};

// Registers count codes of group, numbered from first, with the texts of records.
XnStatus xnRegisterErrorCodeMessages(XnUInt16 nGroup, XnUInt16 nFirst, XnUInt16 nCount,
                                     const XnErrorCodeData* pErrorCodeData);
// The registered message of the status, or "Unknown Zelto Status!".
const XnChar* xnGetStatusString(XnStatus Status);
// The registered name of the status, or "Unknown Zelto Status!".
const XnChar* xnGetStatusName(XnStatus Status);
// Prints "<prefix>: <message>" on standard output.
void xnPrintError(XnStatus Status, const XnChar* csUserMessage);
// The stored record of the status, or null.
XnErrorCodeData* xnGetErrorCodeData(XnStatus Status);
