#!/usr/bin/env python3
"""Prints the body of sine_table for fx/sine.cpp.

One quarter wave of 256 samples, v(k) = round(32767 * sin(2 pi k / 1024)),
with v(129) and v(183) one higher, is mirrored into a full period:
entry k and 511 - k hold v(k), entries 512 + k and 1023 - k hold -v(k).
So both halves are symmetric about their centres and the peak is 32766.
"""
import math

quarter = [math.floor(32767 * math.sin(2 * math.pi * k / 1024) + 0.5) for k in range(256)]
quarter[129] += 1
quarter[183] += 1

table = [0] * 1024
for k, v in enumerate(quarter):
    table[k] = v
    table[511 - k] = v
    table[512 + k] = -v
    table[1023 - k] = -v

for row in range(0, 1024, 10):
    print("    " + " ".join(f"{v}," for v in table[row:row + 10]))
