#pragma once
// The error classes of the launcher. Every failure is an exception that carries a
// message; callers that can go on catch them and fall back, the main window shows
// the rest. Some callers re-raise "an error of the same class with an empty
// message", so every class knows how to raise an empty instance of itself.

#include <exception>
#include <string>

namespace ruv {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const noexcept { return message_; }
  // The class name, as shown in diagnostics and tests.
  virtual const char* ClassName() const noexcept { return "Exception"; }
  // Raises a new error of this object's own class with an empty message.
  [[noreturn]] virtual void RaiseEmptyOfSameClass() const { throw Exception(""); }

 private:
  std::string message_;
};

// Derive error classes through this template so that ClassName and
// RaiseEmptyOfSameClass follow the most derived class.
template <class Derived, class Base = Exception>
class ExceptionOf : public Base {
 public:
  using Base::Base;
  [[noreturn]] void RaiseEmptyOfSameClass() const override { throw Derived(""); }
};

#define RUV_DECLARE_EXCEPTION(Name, Base)                                   \
  class Name : public ::ruv::ExceptionOf<Name, Base> {                      \
   public:                                                                  \
    using ::ruv::ExceptionOf<Name, Base>::ExceptionOf;                      \
    const char* ClassName() const noexcept override { return #Name; }       \
  }

// A text that does not convert to a number or a colour.
RUV_DECLARE_EXCEPTION(EConvertError, Exception);
// A null (absent) value read as text: "Could not convert variant of type (%s) into type (%s)".
RUV_DECLARE_EXCEPTION(EVariantTypeCastError, Exception);
// An index outside a list: "List index out of bounds (%d)".
RUV_DECLARE_EXCEPTION(EListError, Exception);
// A file that cannot be read or written.
RUV_DECLARE_EXCEPTION(EInOutError, Exception);
// An XML document that cannot be used (typed view refused, text of mixed content).
RUV_DECLARE_EXCEPTION(EXMLDocError, Exception);
// A text that does not parse as XML.
RUV_DECLARE_EXCEPTION(EDOMParseError, Exception);
// The network layer's base error (also the network calculator's).
RUV_DECLARE_EXCEPTION(EIdException, Exception);
// A socket-level failure of the network layer.
RUV_DECLARE_EXCEPTION(EIdSocketError, EIdException);
// A body from the network larger than the bound its fetch allows, announced or received.
RUV_DECLARE_EXCEPTION(EBodyTooLarge, EIdException);
// An image file that is not a supported bitmap.
RUV_DECLARE_EXCEPTION(EInvalidGraphic, Exception);
// The per-user registry store failed to read or write a value.
RUV_DECLARE_EXCEPTION(ERegistryException, Exception);
// A service that the container cannot resolve.
RUV_DECLARE_EXCEPTION(EContainerResolveError, Exception);

}  // namespace ruv
