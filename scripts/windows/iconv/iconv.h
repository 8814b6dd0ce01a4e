/* iconv over the Windows code page functions, for the MinGW build of the
 * .xls reader: Debian has no iconv for MinGW. Whole strings are converted in
 * one call, which is how the reader uses it; there is no shift state. */
#ifndef WAREHOUSE_ICONV_H
#define WAREHOUSE_ICONV_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void *iconv_t;

iconv_t iconv_open(const char *to_code, const char *from_code);
size_t iconv(iconv_t cd, char **in, size_t *in_left, char **out, size_t *out_left);
int iconv_close(iconv_t cd);

#ifdef __cplusplus
}
#endif

#endif
