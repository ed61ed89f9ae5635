#include "ruv/launcher/SpringInit.h"

#include "ruv/launcher/RunnableWithProgressExecuterWithForm.h"

namespace ruv {

void SpringInit(di::TContainer& container) {
  container.RegisterType<TRunnableWithProgressExecuterWithForm>()
      .Implements<TProcedureWithProgressExecuter>()
      .DelegateTo([] { return TRunnableWithProgressExecuterWithForm::Create(nullptr); });
}

}  // namespace ruv
