#include "ruv/support/Container.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

namespace ruv::di {
namespace {

struct IGreeter {
  virtual ~IGreeter() = default;
  virtual int Id() const = 0;
};
struct INamed {
  virtual ~INamed() = default;
};
struct IUnregistered {
  virtual ~IUnregistered() = default;
};

struct TGreeter : IGreeter, INamed {
  explicit TGreeter(int id) : id_(id) {}
  int Id() const override { return id_; }
  int id_;
};

class ContainerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    container.RegisterType<TGreeter>().Implements<IGreeter>().Implements<INamed>().DelegateTo(
        [this] { return std::make_shared<TGreeter>(++made); });
  }
  TContainer container;
  std::atomic<int> made{0};
};

TEST_F(ContainerTest, EveryResolutionCallsTheFactoryOnceAndYieldsItsOwnInstance) {
  EXPECT_EQ(made, 0) << "registering makes nothing";
  container.Build();
  TServiceLocator locator(container);
  auto first = locator.GetService<IGreeter>();
  auto second = locator.GetService<IGreeter>();
  auto named = locator.GetService<INamed>();
  EXPECT_EQ(made, 3);
  EXPECT_EQ(first->Id(), 1);
  EXPECT_EQ(second->Id(), 2);
  EXPECT_NE(dynamic_cast<TGreeter*>(named.get()), nullptr);
}

TEST_F(ContainerTest, UnregisteredOrUnbuiltServicesRaiseTheResolutionError) {
  EXPECT_THROW(container.Resolve<IGreeter>(), EContainerResolveError) << "not built yet";
  container.Build();
  try {
    container.Resolve<IUnregistered>();
    FAIL() << "resolved an unregistered service";
  } catch (const EContainerResolveError& e) {
    EXPECT_NE(e.Message().find("IUnregistered"), std::string::npos) << e.Message();
  }
  EXPECT_EQ(made, 0);
}

TEST_F(ContainerTest, ConcurrentResolutionsEachGetANewInstance) {
  container.Build();
  constexpr int kThreads = 8, kEach = 50;
  std::vector<std::vector<int>> ids(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) ids[t].push_back(container.Resolve<IGreeter>()->Id());
    });
  }
  for (auto& th : threads) th.join();
  std::set<int> all;
  for (const auto& v : ids) all.insert(v.begin(), v.end());
  EXPECT_EQ(all.size(), static_cast<std::size_t>(kThreads * kEach));
}

TEST(GlobalContainer, TheLocatorResolvesThroughTheGlobalContainer) {
  struct IClock {
    virtual ~IClock() = default;
  };
  struct TClock : IClock {};
  GlobalContainer().RegisterType<TClock>().Implements<IClock>();  // default factory
  GlobalContainer().Build();
  auto a = ServiceLocator().GetService<IClock>();
  auto b = ServiceLocator().GetService<IClock>();
  ASSERT_TRUE(a && b);
  EXPECT_NE(a, b);
}

}  // namespace
}  // namespace ruv::di
