// A component client: the wrappers only, built against an installed tree.
#include <vendrel/engine/vendrel12_client.h>

#include <iostream>

int main() {
  // Nothing is registered in the test's registry, so creation fails with an error the wrappers raise.
  try {
    auto query = vendrel::vendrel12::VendrelPtr::CreateInstance();
    return 1;
  } catch (const vendrel::Error& e) {
    std::cout << e.Number() << "\n";
    return 0;
  }
}
