#include "ruv/support/Container.h"

#include <cxxabi.h>

#include <cstdlib>

namespace ruv::di {

std::string TypeName(const std::type_info& type) {
  int status = 0;
  char* demangled = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
  std::string name = status == 0 && demangled ? demangled : type.name();
  std::free(demangled);
  return name;
}

void TContainer::Build() {
  std::lock_guard lock(mutex_);
  for (const auto& model : models_) model->Publish(services_);
}

std::shared_ptr<void> TContainer::ResolveErased(const std::type_info& service) {
  ErasedFactory make;
  {
    std::lock_guard lock(mutex_);
    auto it = services_.find(service);
    if (it == services_.end()) {
      throw EContainerResolveError("No component was registered for the service type: " +
                                   TypeName(service));
    }
    make = it->second;
  }
  // The factory runs outside the lock: it may create windows or resolve other services.
  return make();
}

TContainer& GlobalContainer() {
  static TContainer* container = new TContainer;  // lives until the process ends
  return *container;
}

TServiceLocator& ServiceLocator() {
  static TServiceLocator* locator = new TServiceLocator(GlobalContainer());
  return *locator;
}

}  // namespace ruv::di
