#pragma once
// The most the launcher takes of one body from the download server.
//
// Whatever the server sends is untrusted: a faulty or hostile server, or a
// proxy's page in its place, may send without end or announce any length. A body
// that grows past its bound, or whose announced length is above it, fails that
// template's attempt at once; nothing of it is kept.

#include <cstdint>

namespace ruv::provisioning {

// The configuration document, held in memory while it is decoded and parsed. A
// configuration of 1,000 terminals with 12 files each is about 2 MiB.
inline constexpr std::int64_t kMaxConfigurationBytes = std::int64_t{16} << 20;

// Any other file fetched into memory: the downloader program, which is written
// to disk only once it is whole, so that its write can be retried.
inline constexpr std::int64_t kMaxInMemoryFileBytes = std::int64_t{64} << 20;

// A terminal's file (its program, libraries and additional files). These go to
// disk as they arrive, so memory stays small whatever their size; the bound keeps
// a server from filling the user's disk. Set by the build option
// RUV_MAX_TERMINAL_FILE_BYTES (4 GiB unless told otherwise).
extern const std::int64_t kMaxTerminalFileBytes;

// A terminal's icon file. A missing icon is fetched on the user-interface thread
// when its button is drawn, and the window is frozen until that fetch ends; under
// the terminal-file bound an endless icon would hold it for 4 GiB. A button's
// bitmap takes kilobytes: 16 MiB is far above any real icon.
inline constexpr std::int64_t kMaxIconFileBytes = std::int64_t{16} << 20;

}  // namespace ruv::provisioning
