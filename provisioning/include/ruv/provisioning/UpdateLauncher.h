#pragma once
// The launcher's self-update hand-over.

namespace ruv::provisioning {

// Makes sure "ruv_virad_downloader.exe" is in the current directory (fetching it only
// when missing: one that is present is started as it is), starts it with the URL
// templates, " . ", "ruv_virad.exe" and " run" as its parameter string, and ends the
// process with exit code 0, whether the start worked or not. Returns only by raising
// (a missing downloader could not be fetched or saved).
[[noreturn]] void updateLauncher();

}  // namespace ruv::provisioning
