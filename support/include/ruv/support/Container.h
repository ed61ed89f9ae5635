#pragma once
// The service container: a type is registered as the implementation of one or
// more services, made by a factory; after Build every resolution of a service
// calls its factory once and hands back a new instance (transient lifetime).
// One global container and a service locator over it serve the whole program.
//
//   GlobalContainer().RegisterType<TImpl>().Implements<IService>().DelegateTo(
//       [] { return std::make_shared<TImpl>(); });
//   GlobalContainer().Build();
//   std::shared_ptr<IService> s = ServiceLocator().GetService<IService>();

#include "ruv/platform/Exception.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <typeindex>
#include <type_traits>
#include <vector>

namespace ruv::di {

// Readable name of a type for error messages.
std::string TypeName(const std::type_info& type);

class TContainer {
  using ErasedFactory = std::function<std::shared_ptr<void>()>;

  struct ComponentModel {
    virtual ~ComponentModel() = default;
    virtual void Publish(std::map<std::type_index, ErasedFactory>& services) const = 0;
  };

 public:
  template <class T>
  class TRegistration {
   public:
    // Adds a service that this type implements.
    template <class S>
    TRegistration& Implements() {
      static_assert(std::is_base_of_v<S, T> || std::is_same_v<S, T>,
                    "a registered type must derive from the service it implements");
      // The container keeps the model alive as long as its published factories.
      const Model* model = model_.get();
      model_->services.emplace_back(typeid(S), [model]() -> std::shared_ptr<void> {
        std::shared_ptr<S> service = model->Make();
        return std::static_pointer_cast<void>(service);
      });
      return *this;
    }
    // Sets the factory that makes an instance.
    TRegistration& DelegateTo(std::function<std::shared_ptr<T>()> factory) {
      model_->factory = std::move(factory);
      return *this;
    }

   private:
    friend class TContainer;
    struct Model : ComponentModel {
      std::function<std::shared_ptr<T>()> factory;
      std::vector<std::pair<std::type_index, ErasedFactory>> services;

      std::shared_ptr<T> Make() const {
        if (factory) return factory();
        if constexpr (std::is_default_constructible_v<T>) {
          return std::make_shared<T>();
        } else {
          throw EContainerResolveError("No factory was given for the component type: " +
                                       TypeName(typeid(T)));
        }
      }
      void Publish(std::map<std::type_index, ErasedFactory>& out) const override {
        for (const auto& [type, make] : services) out.insert_or_assign(type, make);
        if (services.empty()) {
          // A type registered without a service stands for itself.
          const Model* self = this;
          out.insert_or_assign(typeid(T), [self]() -> std::shared_ptr<void> {
            return std::static_pointer_cast<void>(self->Make());
          });
        }
      }
    };
    explicit TRegistration(std::shared_ptr<Model> model) : model_(std::move(model)) {}
    std::shared_ptr<Model> model_;
  };

  // Registers a component type; the returned registration names its services and factory.
  template <class T>
  TRegistration<T> RegisterType() {
    auto model = std::make_shared<typename TRegistration<T>::Model>();
    std::lock_guard lock(mutex_);
    models_.push_back(model);
    return TRegistration<T>(model);
  }

  // Makes the registrations resolvable. Registrations made later need another Build.
  void Build();

  // A new instance of the service; raises EContainerResolveError when no component
  // implements it (or the container has not been built).
  template <class S>
  std::shared_ptr<S> Resolve() {
    return std::static_pointer_cast<S>(ResolveErased(typeid(S)));
  }

 private:
  std::shared_ptr<void> ResolveErased(const std::type_info& service);

  std::mutex mutex_;
  std::vector<std::shared_ptr<ComponentModel>> models_;
  std::map<std::type_index, ErasedFactory> services_;
};

// Resolves services through one container (the global one unless told otherwise).
class TServiceLocator {
 public:
  explicit TServiceLocator(TContainer& container) : container_(&container) {}
  template <class S>
  std::shared_ptr<S> GetService() {
    return container_->Resolve<S>();
  }

 private:
  TContainer* container_;
};

// The program's container, alive until the process ends.
TContainer& GlobalContainer();
// The service locator over the global container.
TServiceLocator& ServiceLocator();

}  // namespace ruv::di
