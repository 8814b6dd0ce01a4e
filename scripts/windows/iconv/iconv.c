/* iconv over MultiByteToWideChar / WideCharToMultiByte: the input is decoded
 * to UTF-16 whole, then encoded into the target code page. */
#include "iconv.h"
#include "localcharset.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

enum { utf16le = 1200 };

struct converter
{
    UINT from;
    UINT to;
};

struct alias
{
    const char *name;
    UINT code_page;
};

static const struct alias aliases[] = {
    {"UTF-8", CP_UTF8},
    {"UTF8", CP_UTF8},
    {"UTF-16LE", utf16le},
    {"ASCII", 20127},
    {"US-ASCII", 20127},
    {"MACROMAN", 10000},
    {"MACINTOSH", 10000},
    {"GBK", 936},
    {"GB2312", 936},
    {"GB18030", 54936},
    {"BIG5", 950},
    {"SHIFT_JIS", 932},
    {"SJIS", 932},
    {"EUC-KR", 949},
    {"LATIN1", 28591},
};

/* "CP936", "WINDOWS-1252", "ISO-8859-2" and the names above, in any case. */
static UINT code_page_of(const char *name)
{
    char upper[32];
    size_t i;
    unsigned number;
    for (i = 0; name[i] != '\0' && i + 1 < sizeof upper; ++i)
        upper[i] = (char)((name[i] >= 'a' && name[i] <= 'z') ? name[i] - 'a' + 'A' : name[i]);
    upper[i] = '\0';
    for (i = 0; i < sizeof aliases / sizeof aliases[0]; ++i) {
        if (strcmp(upper, aliases[i].name) == 0)
            return aliases[i].code_page;
    }
    char rest;
    if (sscanf(upper, "CP%u%c", &number, &rest) == 1
        || sscanf(upper, "WINDOWS-%u%c", &number, &rest) == 1)
        return number;
    if (sscanf(upper, "ISO-8859-%u%c", &number, &rest) == 1 && number >= 1 && number <= 15)
        return 28590 + number;
    return 0;
}

static int usable(UINT code_page)
{
    return code_page == utf16le || (code_page != 0 && IsValidCodePage(code_page));
}

iconv_t iconv_open(const char *to_code, const char *from_code)
{
    struct converter *converter;
    UINT to = code_page_of(to_code);
    UINT from = code_page_of(from_code);
    if (!usable(to) || !usable(from)) {
        errno = EINVAL;
        return (iconv_t)-1;
    }
    converter = malloc(sizeof *converter);
    if (converter == NULL) {
        errno = ENOMEM;
        return (iconv_t)-1;
    }
    converter->from = from;
    converter->to = to;
    return converter;
}

int iconv_close(iconv_t cd)
{
    free(cd);
    return 0;
}

/* The input as UTF-16 in a new buffer, or NULL with errno set. */
static WCHAR *decode(UINT from, const char *in, size_t size, int *length)
{
    WCHAR *wide;
    int count;
    if (size > 0x3fffffff) {
        errno = E2BIG;
        return NULL;
    }
    if (from == utf16le) {
        if (size % 2 != 0) {
            errno = EINVAL;
            return NULL;
        }
        *length = (int)(size / 2);
        wide = malloc(size + 2);
        if (wide != NULL)
            memcpy(wide, in, size);
        else
            errno = ENOMEM;
        return wide;
    }
    count = MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, in, (int)size, NULL, 0);
    if (count == 0) {
        errno = EILSEQ;
        return NULL;
    }
    wide = malloc(((size_t)count + 1) * sizeof(WCHAR));
    if (wide == NULL) {
        errno = ENOMEM;
        return NULL;
    }
    *length = MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, in, (int)size, wide, count);
    return wide;
}

/* Bytes written into out, or -1 with errno set. */
static int encode(UINT to, const WCHAR *wide, int length, char *out, size_t room)
{
    BOOL lost = FALSE;
    BOOL *lost_flag = (to == CP_UTF8 || to == 54936) ? NULL : &lost;
    int needed;
    if (to == utf16le) {
        if ((size_t)length * 2 > room) {
            errno = E2BIG;
            return -1;
        }
        memcpy(out, wide, (size_t)length * 2);
        return length * 2;
    }
    needed = WideCharToMultiByte(to, 0, wide, length, NULL, 0, NULL, lost_flag);
    if (needed == 0 || lost) {
        errno = EILSEQ;
        return -1;
    }
    if ((size_t)needed > room) {
        errno = E2BIG;
        return -1;
    }
    return WideCharToMultiByte(to, 0, wide, length, out, needed, NULL, NULL);
}

size_t iconv(iconv_t cd, char **in, size_t *in_left, char **out, size_t *out_left)
{
    const struct converter *converter = cd;
    WCHAR *wide;
    int length = 0;
    int written;
    if (in == NULL || *in == NULL || *in_left == 0)
        return 0;
    if (out == NULL || *out == NULL || out_left == NULL) {
        errno = E2BIG;
        return (size_t)-1;
    }
    wide = decode(converter->from, *in, *in_left, &length);
    if (wide == NULL)
        return (size_t)-1;
    written = length == 0 ? 0 : encode(converter->to, wide, length, *out, *out_left);
    free(wide);
    if (written < 0)
        return (size_t)-1;
    *in += *in_left;
    *in_left = 0;
    *out += written;
    *out_left -= (size_t)written;
    return 0;
}

const char *locale_charset(void)
{
    static char name[16];
    snprintf(name, sizeof name, "CP%u", GetACP());
    return name;
}
