/*
 * The library's C interface, for C and any language that calls C (ctypes,
 * cgo, P/Invoke, ...): the C++ classes, late bound, created by class name or
 * identity, members reached by name, values in a tagged struct.
 *
 * Handles. A tarnlow_object* is one holder of an object, which lives while
 * any holder keeps it. Every handle given out is the caller's, to release
 * once with tarnlow_object_release. It is an identifier, not an address: a
 * released or foreign one is refused with error 91, never a crash. A call
 * keeps its object alive even if a callback releases the caller's handle.
 *
 * Values. A tarnlow_value the library fills (result, item, argument written
 * back) is the caller's, given back with tarnlow_value_free, which releases
 * only what the library allocated. Values passed in are only read during the
 * call. An output value is overwritten unread (free what it held first); a
 * failed call leaves it TARNLOW_EMPTY.
 *
 * Errors. Entry points return TARNLOW_OK (0) or TARNLOW_FAILED; nothing ends
 * the process. tarnlow_last_error then gives this thread's error record as
 * the C++ interface raises it (429 unknown class, 438 missing member, 13 no
 * conversion, 7 out of memory, 91 bad handle, ...). Each call clears it
 * first, except tarnlow_last_error, tarnlow_object_release and
 * tarnlow_value_free, so that a caller may clean up before reading it (a bad
 * handle given to them is still recorded).
 *
 * Threads. An object is used by one thread at a time; the error record is
 * per thread.
 */
#ifndef TARNLOW_TARNLOW_C_H
#define TARNLOW_TARNLOW_C_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#if defined(__GNUC__)
#define TARNLOW_C_API __attribute__((visibility("default")))
#else
#define TARNLOW_C_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

enum { TARNLOW_OK = 0, TARNLOW_FAILED = -1 };

typedef struct tarnlow_object tarnlow_object;

/* The kinds of value; every numeric type travels as TARNLOW_NUMBER. */
typedef enum tarnlow_type {
  TARNLOW_EMPTY = 0,   /* no value: never set, or an operation without a result */
  TARNLOW_NULL = 1,    /* the database's Null */
  TARNLOW_TEXT = 2,    /* as.text */
  TARNLOW_NUMBER = 3,  /* as.number */
  TARNLOW_DATE = 4,    /* as.date: days since 30 December 1899, time as the fraction */
  TARNLOW_BOOLEAN = 5, /* as.boolean: 0 or 1 from the library; non-zero is True going in */
  TARNLOW_OBJECT = 6   /* as.object: a handle, or NULL for Nothing */
} tarnlow_type;

typedef struct tarnlow_value {
  int type; /* a tarnlow_type; any other number is refused with error 5 */
  /* Set by the library on values it fills; 0 on values the caller builds. */
  int owned;
  union {
    struct {
      const char* data; /* UTF-8; the library's texts are NUL-terminated */
      size_t length;    /* bytes, without a terminator */
    } text;
    double number;
    double date;
    int boolean;
    tarnlow_object* object;
  } as;
} tarnlow_value;

typedef struct tarnlow_error {
  int32_t number;     /* 0 when the thread's last call succeeded */
  const char* source; /* the trail of operations the failure passed through */
  const char* description;
} tarnlow_error;

typedef struct tarnlow_type_library {
  const char* name;     /* "TarnlowSTData" */
  const char* identity; /* "{0D270230-F1FC-4FE3-A265-331D0D4EDB9E}" */
  uint16_t major_version;
  uint16_t minor_version;
  uint32_t locale;
  const char* description;
} tarnlow_type_library;

/* Shows a modal message and returns the button pressed (1 OK, 2 Cancel,
 * 6 Yes, 7 No); `title` "" for the default. */
typedef int (*tarnlow_message_fn)(void* context, const char* text, int style, const char* title);

/* ---- the library ---------------------------------------------------------- */

/* This thread's error record; never NULL, valid until the thread's next call. */
TARNLOW_C_API const tarnlow_error* tarnlow_last_error(void);
/* The loaded file's version text, as clsTarnlowSTDataVer gives it; NULL
 * only when memory ran out. */
TARNLOW_C_API const char* tarnlow_version(void);
/* The type library's facts. Static; never NULL. */
TARNLOW_C_API const tarnlow_type_library* tarnlow_type_library_info(void);
/* The number of library objects alive in this process. */
TARNLOW_C_API int64_t tarnlow_live_objects(void);
/* 1 when no library object is alive, so that the library may be unloaded; else 0. */
TARNLOW_C_API int tarnlow_can_unload_now(void);
/* Replaces the process's message handler; NULL restores the default
 * (standard error, answer OK). */
TARNLOW_C_API int tarnlow_set_message_handler(tarnlow_message_fn handler, void* context);

/* ---- objects -------------------------------------------------------------- */

/* Opens the database a connection text names ("sqlite:PATH?kind=2", "postgresql://..."). */
TARNLOW_C_API int tarnlow_open_connection(const char* connection_text, tarnlow_object** connection);
/* A fresh object by class name or identity in braces (case ignored); 429
 * when unknown. */
TARNLOW_C_API int tarnlow_create_object(const char* name_or_identity, tarnlow_object** object);
/* Gives back one handle; NULL is allowed, a bad handle fails with 91. */
TARNLOW_C_API int tarnlow_object_release(tarnlow_object* object);
/* The object's class name, as a text value of the caller's. */
TARNLOW_C_API int tarnlow_class_name(const tarnlow_object* object, tarnlow_value* name);

/* ---- members by name (letter case ignored) ---------------------------------- */

/* Reads a property or an operation's result; `args` may be NULL for none. */
TARNLOW_C_API int tarnlow_get(tarnlow_object* object, const char* member, const tarnlow_value* args,
                              size_t arg_count, tarnlow_value* result);
/* Assigns a value to a property, converted as a late-bound assignment
 * converts it; a failed one leaves the property as it was. */
TARNLOW_C_API int tarnlow_let(tarnlow_object* object, const char* member, const tarnlow_value* value);
/* Assigns an object (NULL: Nothing) to an object property such as SageConnection. */
TARNLOW_C_API int tarnlow_set(tarnlow_object* object, const char* member, tarnlow_object* value);
/* Calls an operation (`result` may be NULL). After a success an argument
 * taken by reference holds the value it ends with, owned by the caller. */
TARNLOW_C_API int tarnlow_call(tarnlow_object* object, const char* member, tarnlow_value* args,
                               size_t arg_count, tarnlow_value* result);

/* ---- collections ------------------------------------------------------------- */

/* An enumerator over a collection's members in order added (else 438). */
TARNLOW_C_API int tarnlow_enumerate(tarnlow_object* collection, tarnlow_object** enumerator);
/* The enumerator's next member into `item`; TARNLOW_EMPTY after the last. */
TARNLOW_C_API int tarnlow_next(tarnlow_object* enumerator, tarnlow_value* item);

/* ---- values --------------------------------------------------------------------- */

/* Gives back what the library allocated for the value and leaves it EMPTY. */
TARNLOW_C_API void tarnlow_value_free(tarnlow_value* value);

/* Values to pass in; they borrow what they point at. */
static inline tarnlow_value tarnlow_text_value(const char* text) {
  tarnlow_value v = {TARNLOW_TEXT, 0, {{text, text ? strlen(text) : 0}}};
  return v;
}
static inline tarnlow_value tarnlow_number_value(double number) {
  tarnlow_value v = {TARNLOW_NUMBER, 0, {.number = number}};
  return v;
}
static inline tarnlow_value tarnlow_date_value(double days) {
  tarnlow_value v = {TARNLOW_DATE, 0, {.date = days}};
  return v;
}
static inline tarnlow_value tarnlow_boolean_value(int boolean) {
  tarnlow_value v = {TARNLOW_BOOLEAN, 0, {.boolean = boolean != 0}};
  return v;
}
static inline tarnlow_value tarnlow_object_value(tarnlow_object* object) {
  tarnlow_value v = {TARNLOW_OBJECT, 0, {.object = object}};
  return v;
}

#ifdef __cplusplus
}
#endif

#endif /* TARNLOW_TARNLOW_C_H */
