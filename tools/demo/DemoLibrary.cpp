// The demo's shared library "ruvcomm.dll": terminals fetch it with their files;
// nothing calls into it. It exists for its version information.
extern "C" int ruvcomm_version_major() { return 3; }
