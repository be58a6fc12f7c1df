/* libmikmod's build configuration for the intro's own builds of it (the web
   build, the portable Linux build and the Windows build): the library's own
   mixer and loaders, no threads of its own, and random() for the player's
   random waveforms, as Debian's Linux build has it (the program's own,
   demo/player_random.cpp).  Of its output drivers only the silent one,
   which MikMod_RegisterAllDrivers always adds: the program plays through
   drivers of its own. */
#ifndef VORN_MIKMOD_CONFIG_H
#define VORN_MIKMOD_CONFIG_H

#define VERSION "3.3.11.1"

#define HAVE_FCNTL_H 1
#define HAVE_INTTYPES_H 1
#define HAVE_LIMITS_H 1
#define HAVE_MEMCMP 1
#ifndef _WIN32 /* Windows has neither: libmikmod aligns its buffers itself */
#define HAVE_POSIX_MEMALIGN 1
#define HAVE_SETENV 1
#else
/* Nor random(): the program has the player's own (demo/player_random.cpp). */
long random(void);
#endif
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
