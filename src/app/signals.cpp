#include <csignal>
#include <initializer_list>

#include "app/main.h"

volatile std::sig_atomic_t stopSignal = 0;

namespace {

void requestStop(int number) { stopSignal = number; }

}  // namespace

void catchStopSignals() {
  struct sigaction action = {};
  action.sa_handler = requestStop;
  sigemptyset(&action.sa_mask);
  // The first signal asks the frame loop to end; should the shutdown itself hang, the next
  // one finds the default action back and ends the program.
  action.sa_flags = SA_RESETHAND;
  for (int number : {SIGINT, SIGTERM, SIGHUP}) sigaction(number, &action, nullptr);
}
