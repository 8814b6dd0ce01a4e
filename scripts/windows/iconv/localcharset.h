/* The reader includes this beside iconv.h on Windows. */
#ifndef WAREHOUSE_LOCALCHARSET_H
#define WAREHOUSE_LOCALCHARSET_H

#ifdef __cplusplus
extern "C" {
#endif

/* The ANSI code page as "CPnnnn". */
const char *locale_charset(void);

#ifdef __cplusplus
}
#endif

#endif
