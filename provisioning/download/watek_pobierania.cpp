#include <system_error>
#include <thread>

#include "ruv/provisioning/Download.h"
#include "ruv/provisioning/ResourceStrings.h"

namespace ruv::provisioning {

std::shared_ptr<TWatekPobierania> TWatekPobierania::Create(std::string nazwaPliku) {
  std::shared_ptr<TWatekPobierania> watek(new TWatekPobierania());
  watek->NazwaPliku = std::move(nazwaPliku);
  return watek;
}

void TWatekPobierania::Start() {
  // The thread owns a reference: the object outlives any waiter that gives up.
  std::thread([self = shared_from_this()] { self->Execute(); }).detach();
}

void TWatekPobierania::Execute() {
  Zakonczone.store(false, std::memory_order_relaxed);
  try {
    TMemoryStream plik =
        downloadToStream(resources::SzablonyAdresow(), NazwaPliku, stop_.get_token(), kMaxConfigurationBytes);
    plik.Seek(0);
    std::lock_guard lock(mutex_);
    PobranyPlik = std::move(plik);
    Zakonczone.store(true, std::memory_order_release);
  } catch (const EFileTooLarge&) {
    // The body passed its bound and was cut: nothing more will come, so the
    // waiter need not wait out its limit. Zakonczone stays false.
    std::lock_guard lock(mutex_);
    odrzucony_ = true;
  } catch (const std::exception&) {
    return;  // Zakonczone stays false; only the waiter's time limit notices
  }
  done_.notify_all();
}

bool TWatekPobierania::WaitFor(std::chrono::steady_clock::time_point deadline) {
  std::unique_lock lock(mutex_);
  done_.wait_until(lock, deadline, [this] { return odrzucony_ || Zakonczone.load(std::memory_order_acquire); });
  return Zakonczone.load(std::memory_order_acquire);
}

void TWatekPobierania::Stop() { stop_.request_stop(); }

TMemoryStream downloadWithTimeout(const std::string& nazwaPliku) {
  const auto deadline = std::chrono::steady_clock::now() + kDownloadTimeout;
  const auto watek = TWatekPobierania::Create(nazwaPliku);
  try {
    watek->Start();
  } catch (const std::system_error&) {
    return TMemoryStream();
  }
  if (!watek->WaitFor(deadline)) {
    // Nobody reads a late result: the worker stops at once instead of fetching on.
    watek->Stop();
    return TMemoryStream();
  }
  // The worker no longer touches its stream once Zakonczone is set, and WaitFor
  // saw the flag under the lock the worker stored the stream under.
  return std::move(watek->PobranyPlik);
}

}  // namespace ruv::provisioning
