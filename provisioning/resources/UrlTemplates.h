#pragma once
// The download server's URL-template list exactly as the build option
// RUV_URL_TEMPLATES gives it. Defined in a source the build writes (see
// provisioning/resources/component.cmake), alone in its object, so that a program
// that brings its own copy, made with another list, is linked with that one.

namespace ruv::resources {

extern const char kUrlTemplates[];

}  // namespace ruv::resources
