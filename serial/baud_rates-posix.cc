#include "serial/baud_rates-posix.h"

namespace {

struct BaudRate {
  uint32_t bits;
  speed_t speed;
};

const BaudRate kBaudRates[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},
    {150, B150},       {200, B200},       {300, B300},       {600, B600},
    {1200, B1200},     {1800, B1800},     {2400, B2400},     {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

}  // namespace

bool SpeedOf(uint32_t bits, speed_t* speed) {
  for (const BaudRate& b : kBaudRates) {
    if (b.bits == bits) {
      *speed = b.speed;
      return true;
    }
  }
  return false;
}

uint32_t BitsOf(speed_t speed) {
  for (const BaudRate& b : kBaudRates) {
    if (b.speed == speed) return b.bits;
  }
  return 0;
}
