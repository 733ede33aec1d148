#include "vendrel/driver/driver.h"

namespace vendrel::driver {

void RegisterProviders() {
  // The providers arrive with the table side of the driver.
}

}  // namespace vendrel::driver
