# Loaded into gdb by the whole-program tests.  Notes the time of every
# presentation of the intro and of the fade's start, and every 60
# presentations writes their count to the file $VORN_WATCH_COUNT, if set;
# when shut-down reaches
# the key cell (the fade is over, the process still lives) it writes them
# to the file $VORN_WATCH_LOG and runs $VORN_WATCH_AT_END, if set, by the
# shell while the program waits.
#   presents T0 T1 ...     seconds, one clock for all
#   fade T                 the fade's start
#   end T                  the fade's end
import os
import subprocess
import time

import gdb

presents = []
fade = []


class Note(gdb.Breakpoint):
    def __init__(self, location, times, count_file=""):
        super().__init__(location, internal=True)
        self.times = times
        self.count_file = count_file

    def stop(self):
        self.times.append(time.monotonic())
        if self.count_file and len(self.times) % 60 == 0:
            with open(self.count_file, "w") as count:
                count.write("%d\n" % len(self.times))
        return False


class AtEnd(gdb.Breakpoint):
    def stop(self):
        end = time.monotonic()
        with open(os.environ["VORN_WATCH_LOG"], "w") as log:
            log.write("presents " + " ".join("%.6f" % t for t in presents) + "\n")
            for t in fade[:1]:
                log.write("fade %.6f\n" % t)
            log.write("end %.6f\n" % end)
        hook = os.environ.get("VORN_WATCH_AT_END", "")
        if hook:
            subprocess.run(hook, shell=True, check=False)
        return False


Note("screen_present_copy", presents, os.environ.get("VORN_WATCH_COUNT", ""))
Note("demo_fade_out", fade)
AtEnd("screen_keys_destroy", internal=True)
print("watching")
