// Ending a run from outside: SIGINT (Ctrl-C in the terminal) and SIGTERM
// (kill) ask for the same quit as ESC.  The first of them only raises a
// flag, which the frame end turns into the quit; it also gives both signals
// back their default action, so that a second one while the picture fades
// ends the process at once.  A program that wants this calls
// demo_signals_install before start-up: SDL leaves a handler that is
// already installed alone instead of turning the signals into its quit
// event, which the screen discards.
#pragma once

// Installs the handler for SIGINT and SIGTERM.
void demo_signals_install();
// 1 once SIGINT or SIGTERM has arrived after demo_signals_install, else 0.
int demo_signal_received();
// The run is ending anyway: from now on both signals take their default
// action.  Does nothing unless demo_signals_install installed the handler.
void demo_signals_release();
