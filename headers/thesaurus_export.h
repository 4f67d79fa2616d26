/* Export macro of libthesaurus.
 *
 * The library is built with hidden symbol visibility; every function, variable and class that
 * belongs to its public interface carries THES_EXPORT. Entry points of the engine, of the
 * indexing engine and of the flat lookup API also carry C linkage (THES_EXTERN_C_BEGIN/END).
 */
#ifndef THESAURUS_EXPORT_H
#define THESAURUS_EXPORT_H

#if defined(__GNUC__)
#define THES_EXPORT __attribute__((visibility("default")))
#define THES_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define THES_EXPORT
#define THES_PRINTF(fmt, args)
#endif

#ifdef __cplusplus
#define THES_EXTERN_C_BEGIN extern "C" {
#define THES_EXTERN_C_END }
#else
#define THES_EXTERN_C_BEGIN
#define THES_EXTERN_C_END
#endif

#endif /* THESAURUS_EXPORT_H */
