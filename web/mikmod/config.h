/* libmikmod's build configuration for the web build (emscripten): the
   library's own mixer and loaders, no audio drivers of its own (the intro
   registers its frame-stepped driver; MikMod_RegisterAllDrivers adds only
   the silent one), no threads, and random() for the player's random
   waveforms, as Debian's Linux build has it. */
#ifndef VORN_WEB_MIKMOD_CONFIG_H
#define VORN_WEB_MIKMOD_CONFIG_H

#define VERSION "3.3.11.1"

#define HAVE_FCNTL_H 1
#define HAVE_INTTYPES_H 1
#define HAVE_LIMITS_H 1
#define HAVE_MEMCMP 1
#define HAVE_POSIX_MEMALIGN 1
#define HAVE_SETENV 1
#define HAVE_SNPRINTF 1
#define HAVE_SRANDOM 1
#define HAVE_STDINT_H 1
#define HAVE_STDLIB_H 1
#define HAVE_STRING_H 1
#define HAVE_STRSTR 1
#define HAVE_SYS_STAT_H 1
#define HAVE_SYS_TYPES_H 1
#define HAVE_UNISTD_H 1
#define STDC_HEADERS 1
#define HAVE_C_INLINE 1

#endif
