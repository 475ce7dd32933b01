// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#pragma once

// Marks a function that runs on the audio thread and must never allocate, lock or block. Clang 20 and
// later check this at compile time and, with -fsanitize=realtime, at run time; other compilers ignore it.
#if defined(__clang__) && __clang_major__ >= 20
#define HESKO_NONBLOCKING [[clang::nonblocking]]
#else
#define HESKO_NONBLOCKING
#endif
