// vorndemo: the intro.  It takes no arguments; everything it reads comes
// from the working directory.  SIGINT and SIGTERM end it as ESC does.
#include "demo/demo.h"
#include "demo/signals.h"

int main() {
  demo_signals_install();
  return demo_run();
}
