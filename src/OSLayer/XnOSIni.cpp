// The per-call INI reader of start-up settings. Nothing is cached: each read
// loads the whole file again.

#include <cstdlib>
#include <cstring>

#include "OSLayer/XnOS.h"

namespace {

bool IsBlank(XnChar c) {
    return c == ' ' || c == '\t';
}

bool IsLineEnd(XnChar c) {
    return c == '\r' || c == '\n' || c == '\0';
}

bool SameText(const XnChar* pBegin, const XnChar* pEnd, const XnChar* text) {
    size_t n = (size_t)(pEnd - pBegin);
    return strlen(text) == n && memcmp(pBegin, text, n) == 0;
}

// Finds key in the first occurrence of section; value receives at most
// XN_INI_MAX_LEN characters and a terminator.
XnStatus SearchText(const XnChar* pText, const XnChar* cpSection, const XnChar* cpKey,
                    XnChar value[XN_INI_MAX_LEN + 1]) {
    bool bInSection = false;
    const XnChar* p = pText;
    while (*p != '\0') {
        while (IsBlank(*p)) {
            ++p;
        }
        const XnChar* pLineEnd = p;
        while (!IsLineEnd(*pLineEnd)) {
            ++pLineEnd;
        }
        if (p == pLineEnd) {
            // Blank line: step over its end.
            if (*p != '\0') {
                ++p;
            }
            continue;
        }
        if (*p == '#' || *p == ';') {
            p = pLineEnd;
            continue;
        }
        if (*p == '[') {
            const XnChar* pClose = (const XnChar*)memchr(p + 1, ']', (size_t)(pLineEnd - p - 1));
            if (pClose != nullptr && pClose - (p + 1) <= XN_INI_MAX_LEN) {
                if (bInSection) {
                    return XN_STATUS_OS_INI_READ_FAILED;
                }
                bInSection = SameText(p + 1, pClose, cpSection);
            }
            p = pLineEnd;
            continue;
        }
        if (bInSection) {
            const XnChar* pEquals = (const XnChar*)memchr(p, '=', (size_t)(pLineEnd - p));
            if (pEquals != nullptr && pEquals - p <= XN_INI_MAX_LEN && SameText(p, pEquals, cpKey)) {
                size_t nLength = (size_t)(pLineEnd - (pEquals + 1));
                if (nLength > XN_INI_MAX_LEN) {
                    nLength = XN_INI_MAX_LEN;
                }
                memcpy(value, pEquals + 1, nLength);
                value[nLength] = '\0';
                return XN_STATUS_OK;
            }
        }
        p = pLineEnd;
    }
    return XN_STATUS_OS_INI_READ_FAILED;
}

XnStatus FindEntry(const XnChar* cpINIFile, const XnChar* cpSection, const XnChar* cpKey,
                   XnChar value[XN_INI_MAX_LEN + 1]) {
    XnUInt64 nFileSize = 0;
    XnStatus rc = xnOSGetFileSize64(cpINIFile, &nFileSize);
    if (rc != XN_STATUS_OK) {
        return rc;
    }
    if (nFileSize >= 0xFFFFFFFFull) {
        return XN_STATUS_INTERNAL_BUFFER_TOO_SMALL;
    }
    XnChar* pText = (XnChar*)xnOSMalloc((XnSizeT)nFileSize + 1);
    if (pText == nullptr) {
        return XN_STATUS_ALLOC_FAILED;
    }
    rc = xnOSLoadFile(cpINIFile, pText, (XnUInt32)nFileSize);
    if (rc == XN_STATUS_OK) {
        pText[nFileSize] = '\0';
        rc = SearchText(pText, cpSection, cpKey, value);
    }
    xnOSFree(pText);
    return rc;
}

// The checks every read shares, then the search.
XnStatus ReadValue(const XnChar* cpINIFile, const XnChar* cpSection, const XnChar* cpKey, const void* pDest,
                   XnChar value[XN_INI_MAX_LEN + 1]) {
    if (cpSection == nullptr || cpKey == nullptr || cpINIFile == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    if (pDest == nullptr) {
        return XN_STATUS_NULL_OUTPUT_PTR;
    }
    XnBool bExists = FALSE;
    xnOSDoesFileExist(cpINIFile, &bExists);
    if (!bExists) {
        return XN_STATUS_OS_INI_FILE_NOT_FOUND;
    }
    return FindEntry(cpINIFile, cpSection, cpKey, value);
}

}  // namespace

XnStatus xnOSReadStringFromINI(const XnChar* cpINIFile, const XnChar* cpSection, const XnChar* cpKey,
                               XnChar* cpDest, const XnUInt32 nDestLength) {
    XnChar value[XN_INI_MAX_LEN + 1];
    XnStatus rc = ReadValue(cpINIFile, cpSection, cpKey, cpDest, value);
    if (rc != XN_STATUS_OK) {
        return rc;
    }
    return xnOSStrCopy(cpDest, value, nDestLength);
}

XnStatus xnOSReadIntFromINI(const XnChar* cpINIFile, const XnChar* cpSection, const XnChar* cpKey,
                            XnInt32* nDest) {
    XnChar value[XN_INI_MAX_LEN + 1];
    XnStatus rc = ReadValue(cpINIFile, cpSection, cpKey, nDest, value);
    if (rc != XN_STATUS_OK) {
        return rc;
    }
    long nValue = strtol(value, nullptr, 10);
    if (nValue > INT32_MAX) {
        nValue = INT32_MAX;
    } else if (nValue < INT32_MIN) {
        nValue = INT32_MIN;
    }
    *nDest = (XnInt32)nValue;
    return XN_STATUS_OK;
}

XnStatus xnOSReadDoubleFromINI(const XnChar* cpINIFile, const XnChar* cpSection, const XnChar* cpKey,
                               XnDouble* fDest) {
    XnChar value[XN_INI_MAX_LEN + 1];
    XnStatus rc = ReadValue(cpINIFile, cpSection, cpKey, fDest, value);
    if (rc != XN_STATUS_OK) {
        return rc;
    }
    *fDest = strtod(value, nullptr);
    return XN_STATUS_OK;
}

XnStatus xnOSReadFloatFromINI(const XnChar* cpINIFile, const XnChar* cpSection, const XnChar* cpKey,
                              XnFloat* fDest) {
    if (fDest == nullptr) {
        return XN_STATUS_NULL_OUTPUT_PTR;
    }
    XnDouble fValue = 0;
    XnStatus rc = xnOSReadDoubleFromINI(cpINIFile, cpSection, cpKey, &fValue);
    if (rc == XN_STATUS_OK) {
        *fDest = (XnFloat)fValue;
    }
    return rc;
}

XnStatus xnOSWriteStringToINI(const XnChar*, const XnChar*, const XnChar*, const XnChar*) {
    return XN_STATUS_OS_INI_WRITE_FAILED;
}

XnStatus xnOSWriteIntToINI(const XnChar*, const XnChar*, const XnChar*, const XnUInt32) {
    return XN_STATUS_OS_INI_WRITE_FAILED;
}

XnStatus xnOSWriteFloatToINI(const XnChar*, const XnChar*, const XnChar*, const XnFloat) {
    return XN_STATUS_OS_INI_WRITE_FAILED;
}

XnStatus xnOSWriteDoubleToINI(const XnChar*, const XnChar*, const XnChar*, const XnDouble) {
    return XN_STATUS_OS_INI_WRITE_FAILED;
}
