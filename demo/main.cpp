// vorndemo: the intro.  It takes no arguments; everything it reads comes
// from the working directory.
#include "demo/demo.h"

int main() {
  return demo_run();
}
