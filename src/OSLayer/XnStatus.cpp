#include "OSLayer/XnStatus.h"

#include <cstdio>

#include "OSLayer/XnHash.h"
#include "OSLayer/XnOS.h"

namespace {

typedef xnl::Hash<XnUInt16, XnErrorCodeData> XnErrorCodesHash;
typedef xnl::Hash<XnUInt16, XnErrorCodesHash*> XnErrorGroupsHash;

const XnChar kUnknownStatus[] = "Unknown Zelto Status!";

}  // namespace

// Created by the first registration and kept for the life of the process.
XnErrorGroupsHash* g_pErrorGroups = nullptr;

XnStatus xnRegisterErrorCodeMessages(XnUInt16 nGroup, XnUInt16 nFirst, XnUInt16 nCount,
                                     const XnErrorCodeData* pErrorCodeData) {
    if (pErrorCodeData == nullptr) {
        return XN_STATUS_NULL_OUTPUT_PTR;
    }
    if (g_pErrorGroups == nullptr) {
        g_pErrorGroups = new XnErrorGroupsHash;
    }
    XnErrorCodesHash*& pCodes = (*g_pErrorGroups)[nGroup];
    if (pCodes == nullptr) {
        pCodes = new XnErrorCodesHash;
    }
    for (XnUInt32 i = 0; i < nCount; ++i) {
        XnUInt32 nCode = (XnUInt32)nFirst + i;
        XnUInt16 nKey = (XnUInt16)(nCode & 0xFFFF);
        XnErrorCodeData data;
        data.nCode = nCode;
        data.csMessage = xnOSStrDup(pErrorCodeData[i].csMessage);
        data.csName = xnOSStrDup(pErrorCodeData[i].csName);
        XnErrorCodesHash::Iterator it = pCodes->Find(nKey);
        if (it != pCodes->End()) {
            xnOSFree(it->value.csName);
            xnOSFree(it->value.csMessage);
            it->value = data;
        } else {
            pCodes->Set(nKey, data);
        }
    }
    return XN_STATUS_OK;
}

XnErrorCodeData* xnGetErrorCodeData(XnStatus Status) {
    if (g_pErrorGroups == nullptr) {
        return nullptr;
    }
    XnErrorGroupsHash::Iterator group = g_pErrorGroups->Find((XnUInt16)(Status >> 16));
    if (group == g_pErrorGroups->End()) {
        return nullptr;
    }
    XnErrorCodesHash::Iterator code = group->value->Find((XnUInt16)(Status & 0xFFFF));
    if (code == group->value->End()) {
        return nullptr;
    }
    return &code->value;
}

const XnChar* xnGetStatusString(XnStatus Status) {
    XnErrorCodeData* pData = xnGetErrorCodeData(Status);
    return pData != nullptr ? pData->csMessage : kUnknownStatus;
}

const XnChar* xnGetStatusName(XnStatus Status) {
    XnErrorCodeData* pData = xnGetErrorCodeData(Status);
    return pData != nullptr ? pData->csName : kUnknownStatus;
}

void xnPrintError(XnStatus Status, const XnChar* csUserMessage) {
    printf("%s: %s\n", csUserMessage, xnGetStatusString(Status));
}

namespace {

// Success is the one code the library registers, at load.
struct XnStatusRegistration {
    XnStatusRegistration() {
        static const XnErrorCodeData ok = {0, "((XnStatus)0)", "OK"};
        xnRegisterErrorCodeMessages(0, 0, 1, &ok);
    }
} g_statusRegistration;

}  // namespace
