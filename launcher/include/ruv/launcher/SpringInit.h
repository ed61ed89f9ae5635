#pragma once
// Registration of the launcher's services in the container.

#include "ruv/support/Container.h"

namespace ruv {

// Registers the progress window as the implementation of
// TProcedureWithProgressExecuter: every resolution creates a new window without owner.
void SpringInit(di::TContainer& container);

}  // namespace ruv
