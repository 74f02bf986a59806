/* Ledra-M: a sectioned key=value settings file held in memory.
 *
 * The file is read once, by the first CM_GetValue or CM_SetValue on a handle,
 * and written whole by CM_Save and by CM_CloseInterface. Texts are 8-bit,
 * NUL-terminated and passed through unchanged; names, keys and values hold at
 * most 254 characters (longer ones are cut). A null handle does nothing.
 *
 * Nothing of the file is lost: a file that was not read to its end (a line
 * the format cannot take, or no read at all) is never written; a file whose
 * owner has no write permission is never replaced; a version that another
 * program wrote meanwhile is kept beside the file before it is replaced. The
 * reasons go to the process's diagnostics. */
#ifndef LEDRA_CONFIG_STORE_H
#define LEDRA_CONFIG_STORE_H

#define LEDRA_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

/* Opaque store handle. */
typedef struct CM_Store CM_Store;

/* A new, unloaded handle, or null when it cannot be allocated. Reads no file. */
LEDRA_API CM_Store* CM_OpenInterface(void);

/* The stored value, or an empty text when the section or key does not exist.
 * Never null. The text belongs to the store: it follows later CM_SetValue
 * calls on the same key and is valid until CM_CloseInterface. The path is
 * used only by the first CM_GetValue or CM_SetValue of a handle. */
LEDRA_API const char* CM_GetValue(CM_Store* store, const char* key, const char* section, const char* path);

/* 1 when the value is stored in memory, 0 when a record cannot be allocated. */
LEDRA_API int CM_SetValue(CM_Store* store, const char* key, const char* value, const char* section, const char* path);

/* 1 when the whole file reached the disk, 0 otherwise (the old file is then
 * left as it was, also when the store declines to write it). */
LEDRA_API int CM_Save(CM_Store* store);

/* Saves once more (result ignored) and frees the handle and every value. */
LEDRA_API void CM_CloseInterface(CM_Store* store);

#ifdef __cplusplus
}
#endif

#endif
