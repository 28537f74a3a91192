#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "OSLayer/XnOS.h"

namespace {

// CRC-32 of ISO 3309 / IEEE 802.3: reflected polynomial 0xEDB88320.
struct XnCRC32Table {
    XnUInt32 entries[256];
    constexpr XnCRC32Table() : entries() {
        for (XnUInt32 i = 0; i < 256; ++i) {
            XnUInt32 c = i;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) ? (0xEDB88320u ^ (c >> 1)) : (c >> 1);
            }
            entries[i] = c;
        }
    }
};

constexpr XnCRC32Table xnOSStrCRC32Table;

XnUInt32 Crc32(const XnUInt8* pBytes, XnSizeT nLength) {
    XnUInt32 crc = 0xFFFFFFFFu;
    for (XnSizeT i = 0; i < nLength; ++i) {
        crc = xnOSStrCRC32Table.entries[(crc ^ pBytes[i]) & 0xFF] ^ (crc >> 8);
    }
    return crc ^ 0xFFFFFFFFu;
}

}  // namespace

XnChar* xnOSStrDup(const XnChar* strSource) {
    return strSource == nullptr ? nullptr : strdup(strSource);
}

XnUInt32 xnOSStrLen(const XnChar* cpString) {
    return cpString == nullptr ? 0 : (XnUInt32)strlen(cpString);
}

XnStatus xnOSStrCopy(XnChar* cpDestString, const XnChar* cpSrcString, XnUInt32 nDestLength) {
    if (cpDestString == nullptr || cpSrcString == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    if (strlen(cpSrcString) >= nDestLength) {
        return XN_STATUS_INTERNAL_BUFFER_TOO_SMALL;
    }
    strncpy(cpDestString, cpSrcString, nDestLength);
    return XN_STATUS_OK;
}

XnStatus xnOSStrNCopy(XnChar* cpDestString, const XnChar* cpSrcString, XnUInt32 nCopyLength,
                      XnUInt32 nDestLength) {
    if (cpDestString == nullptr || cpSrcString == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    if (nDestLength < nCopyLength) {
        return XN_STATUS_INTERNAL_BUFFER_TOO_SMALL;
    }
    strncpy(cpDestString, cpSrcString, nCopyLength);
    return XN_STATUS_OK;
}

XnStatus xnOSStrAppend(XnChar* cpDestString, const XnChar* cpSrcString, XnUInt32 nDestLength) {
    if (cpDestString == nullptr || cpSrcString == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    XnSizeT nDest = strlen(cpDestString);
    XnSizeT nSrc = strlen(cpSrcString);
    if (nDest + nSrc >= nDestLength) {
        return XN_STATUS_INTERNAL_BUFFER_TOO_SMALL;
    }
    memcpy(cpDestString + nDest, cpSrcString, nSrc + 1);
    return XN_STATUS_OK;
}

XnStatus xnOSStrPrefix(const XnChar* cpPrefixString, XnChar* cpDestString, XnUInt32 nDestLength) {
    if (cpPrefixString == nullptr || cpDestString == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    XnSizeT nPrefix = strlen(cpPrefixString);
    XnSizeT nText = strlen(cpDestString);
    if (nPrefix + nText >= nDestLength) {
        return XN_STATUS_INTERNAL_BUFFER_TOO_SMALL;
    }
    XnChar* pCopy = (XnChar*)xnOSMalloc(nText + 1);
    if (pCopy == nullptr) {
        return XN_STATUS_ALLOC_FAILED;
    }
    memcpy(pCopy, cpDestString, nText + 1);
    memcpy(cpDestString, cpPrefixString, nPrefix);
    memcpy(cpDestString + nPrefix, pCopy, nText + 1);
    xnOSFree(pCopy);
    return XN_STATUS_OK;
}

XnStatus xnOSStrFormat(XnChar* cpDestString, XnUInt32 nDestLength, XnUInt32* pnCharsWritten,
                       const XnChar* cpFormat, ...) {
    va_list args;
    va_start(args, cpFormat);
    XnStatus rc = xnOSStrFormatV(cpDestString, nDestLength, pnCharsWritten, cpFormat, args);
    va_end(args);
    return rc;
}

XnStatus xnOSStrFormatV(XnChar* cpDestString, XnUInt32 nDestLength, XnUInt32* pnCharsWritten,
                        const XnChar* cpFormat, va_list args) {
    if (cpDestString == nullptr || cpFormat == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    if (pnCharsWritten == nullptr) {
        return XN_STATUS_NULL_OUTPUT_PTR;
    }
    *pnCharsWritten = 0;
    int nNeeded = vsnprintf(cpDestString, nDestLength, cpFormat, args);
    // Callers append piece by piece and rely on written being what is in the
    // buffer, so a cut text counts as a failure.
    if (nNeeded < 0 || (XnUInt32)nNeeded >= nDestLength) {
        return XN_STATUS_INTERNAL_BUFFER_TOO_SMALL;
    }
    *pnCharsWritten = (XnUInt32)nNeeded;
    return XN_STATUS_OK;
}

XnStatus xnOSStrCRC32(const XnChar* cpString, XnUInt32* nCRC32) {
    if (cpString == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    if (nCRC32 == nullptr) {
        return XN_STATUS_NULL_OUTPUT_PTR;
    }
    *nCRC32 = 0;
    *nCRC32 = Crc32((const XnUInt8*)cpString, strlen(cpString));
    return XN_STATUS_OK;
}

XnStatus xnOSStrNCRC32(const XnUInt8* cpBuffer, XnUInt32 nBufferSize, XnUInt32* nCRC32) {
    if (cpBuffer == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    if (nCRC32 == nullptr) {
        return XN_STATUS_NULL_OUTPUT_PTR;
    }
    *nCRC32 = 0;
    *nCRC32 = Crc32(cpBuffer, nBufferSize);
    return XN_STATUS_OK;
}

void xnOSItoA(XnInt32 nValue, XnChar* cpStr, XnInt32 nBase) {
    static const XnChar digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    if (nBase < 2 || nBase > 35) {
        cpStr[0] = '\0';
        return;
    }
    // The magnitude in 32 unsigned bits also covers the most negative value.
    XnUInt32 nMagnitude = nValue < 0 ? 0u - (XnUInt32)nValue : (XnUInt32)nValue;
    XnUInt32 n = 0;
    do {
        cpStr[n++] = digits[nMagnitude % (XnUInt32)nBase];
        nMagnitude /= (XnUInt32)nBase;
    } while (nMagnitude != 0);
    if (nValue < 0) {
        cpStr[n++] = '-';
    }
    cpStr[n] = '\0';
    for (XnUInt32 i = 0, j = n - 1; i < j; ++i, --j) {
        XnChar c = cpStr[i];
        cpStr[i] = cpStr[j];
        cpStr[j] = c;
    }
}

XnInt32 xnOSStrCmp(const XnChar* cpFirstString, const XnChar* cpSecondString) {
    if (cpFirstString == nullptr || cpSecondString == nullptr) {
        return (XnInt32)XN_STATUS_NULL_INPUT_PTR;
    }
    return strcmp(cpFirstString, cpSecondString);
}

XnInt32 xnOSStrCaseCmp(const XnChar* cpFirstString, const XnChar* cpSecondString) {
    if (cpFirstString == nullptr || cpSecondString == nullptr) {
        return (XnInt32)XN_STATUS_NULL_INPUT_PTR;
    }
    return strcasecmp(cpFirstString, cpSecondString);
}

XnStatus xnOSGetEnvironmentVariable(const XnChar* strEnv, XnChar* strDest, XnUInt32 nDestSize) {
    if (strEnv == nullptr || strDest == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    const XnChar* pValue = getenv(strEnv);
    if (pValue == nullptr) {
        return XN_STATUS_OS_ENV_VAR_NOT_FOUND;
    }
    return xnOSStrCopy(strDest, pValue, nDestSize);
}
