#pragma once
// Typed binding of the configuration document "ruv_virad_2.xml": one interface
// and one node class per element type, one list per repeated element. Every value
// leaves the binding as the text the document holds; nothing is converted,
// defaulted or checked here. A missing element or attribute reads as "" (it is
// added empty to the document in memory); lists are live views in document order.

#include <memory>
#include <string>

#include "ruv/platform/XMLDoc.h"

namespace ruv::config {

// The namespace of every element of a configuration document.
inline constexpr const char* TargetNamespace = "http://ruv.local/ruv_virad";

class IXMLRuv_virad;
class IXMLGuiParamType;
class IXMLNetworkType;
class IXMLNetworkTypeList;
class IXMLTerminalType;
class IXMLTerminalTypeList;
class IXMLAccess_mode;
class IXMLFileType;
class IXMLFileTypeList;
class IXMLDllType;
class IXMLDllTypeList;
class IXMLString_List;

using IXMLRuv_viradPtr = std::shared_ptr<IXMLRuv_virad>;
using IXMLGuiParamTypePtr = std::shared_ptr<IXMLGuiParamType>;
using IXMLNetworkTypePtr = std::shared_ptr<IXMLNetworkType>;
using IXMLNetworkTypeListPtr = std::shared_ptr<IXMLNetworkTypeList>;
using IXMLTerminalTypePtr = std::shared_ptr<IXMLTerminalType>;
using IXMLTerminalTypeListPtr = std::shared_ptr<IXMLTerminalTypeList>;
using IXMLAccess_modePtr = std::shared_ptr<IXMLAccess_mode>;
using IXMLFileTypePtr = std::shared_ptr<IXMLFileType>;
using IXMLFileTypeListPtr = std::shared_ptr<IXMLFileTypeList>;
using IXMLDllTypePtr = std::shared_ptr<IXMLDllType>;
using IXMLDllTypeListPtr = std::shared_ptr<IXMLDllTypeList>;
using IXMLString_ListPtr = std::shared_ptr<IXMLString_List>;

// The document's root element `ruv_virad` in TargetNamespace as IXMLRuv_virad;
// a document that is still empty gets a new, empty root. Another tag or
// namespace raises EXMLDocError "Interface not supported".
IXMLRuv_viradPtr Getruv_virad(const xml::IXMLDocumentPtr& document);

// ---- interfaces ----

class IXMLRuv_virad : public virtual xml::IXMLNode {
 public:
  static constexpr const char* IID = "{A3CF6288-15B4-40D6-94B9-6A5BF23953DF}";
  virtual std::string Get_Prog_version() = 0;
  virtual std::string Get_Admin_email() = 0;
  virtual std::string Get_Link() = 0;
  virtual IXMLGuiParamTypePtr Get_ClForm() = 0;
  virtual IXMLGuiParamTypePtr Get_ClBtnNormal() = 0;
  virtual IXMLGuiParamTypePtr Get_ClBtnHighlight() = 0;
  virtual IXMLGuiParamTypePtr Get_ClBtnFrame() = 0;
  virtual IXMLGuiParamTypePtr Get_ClBtnText() = 0;
  virtual IXMLGuiParamTypePtr Get_ClText() = 0;
  virtual IXMLGuiParamTypePtr Get_ClLink() = 0;
  virtual IXMLGuiParamTypePtr Get_BtnWidth() = 0;
  virtual IXMLGuiParamTypePtr Get_BtnHeight() = 0;
  virtual IXMLGuiParamTypePtr Get_TopMargin() = 0;
  virtual IXMLGuiParamTypePtr Get_Margin() = 0;
  virtual IXMLGuiParamTypePtr Get_TextSize() = 0;
  virtual IXMLGuiParamTypePtr Get_BtnTextSize() = 0;
  virtual IXMLNetworkTypeListPtr Get_Network() = 0;
  virtual IXMLTerminalTypeListPtr Get_Terminal() = 0;
  virtual IXMLDllTypeListPtr Get_Dll() = 0;
  virtual void Set_Prog_version(const std::string& value) = 0;
  virtual void Set_Admin_email(const std::string& value) = 0;
  virtual void Set_Link(const std::string& value) = 0;
};

// A look-and-feel parameter; its attribute `value`.
class IXMLGuiParamType : public virtual xml::IXMLNode {
 public:
  static constexpr const char* IID = "{101B8A49-3451-4616-808D-9BBB87E618D3}";
  virtual std::string Get_Value() = 0;
  virtual void Set_Value(const std::string& value) = 0;
};

class IXMLNetworkType : public virtual xml::IXMLNode {
 public:
  static constexpr const char* IID = "{69BA8D13-C351-4928-B473-A0819A273F70}";
  virtual std::string Get_Mask() = 0;
  virtual std::string Get_Ip() = 0;
  virtual void Set_Mask(const std::string& value) = 0;
  virtual void Set_Ip(const std::string& value) = 0;
};

class IXMLNetworkTypeList : public virtual xml::IXMLNodeCollection {
 public:
  static constexpr const char* IID = "{BAC1DE32-C81D-4816-866A-00AE4AD81B2D}";
  virtual IXMLNetworkTypePtr Add() = 0;
  virtual IXMLNetworkTypePtr Insert(int index) = 0;
  virtual IXMLNetworkTypePtr Get_Item(int index) = 0;
};

class IXMLTerminalType : public virtual xml::IXMLNode {
 public:
  static constexpr const char* IID = "{4EC22314-C3C9-449A-B7BE-FC4AF85B49E2}";
  virtual std::string Get_Id() = 0;
  virtual std::string Get_Name() = 0;
  virtual std::string Get_Date() = 0;
  virtual std::string Get_Version() = 0;
  virtual IXMLAccess_modePtr Get_Access_mode() = 0;
  virtual IXMLFileTypePtr Get_Exe_file() = 0;
  virtual IXMLFileTypeListPtr Get_File() = 0;
  virtual IXMLFileTypePtr Get_Icon_file() = 0;
  virtual IXMLString_ListPtr Get_Dll_lib() = 0;
  virtual void Set_Id(const std::string& value) = 0;
  virtual void Set_Name(const std::string& value) = 0;
  virtual void Set_Date(const std::string& value) = 0;
  virtual void Set_Version(const std::string& value) = 0;
};

class IXMLTerminalTypeList : public virtual xml::IXMLNodeCollection {
 public:
  static constexpr const char* IID = "{9BF6D8FF-A1F0-48DE-B242-68B4F5AE02A4}";
  virtual IXMLTerminalTypePtr Add() = 0;
  virtual IXMLTerminalTypePtr Insert(int index) = 0;
  virtual IXMLTerminalTypePtr Get_Item(int index) = 0;
};

class IXMLAccess_mode : public virtual xml::IXMLNode {
 public:
  static constexpr const char* IID = "{C71DC48B-1C56-4799-8ADA-D497F5CE1869}";
  virtual std::string Get_Value() = 0;
  virtual void Set_Value(const std::string& value) = 0;
};

class IXMLFileType : public virtual xml::IXMLNode {
 public:
  static constexpr const char* IID = "{1FACF134-DCF7-40E0-87BB-495DB8E9D7CB}";
  virtual std::string Get_Name() = 0;
  virtual std::string Get_Target_path() = 0;
  virtual std::string Get_Source_path() = 0;
  virtual std::string Get_Description() = 0;
  virtual std::string Get_Hash() = 0;
  virtual void Set_Name(const std::string& value) = 0;
  virtual void Set_Target_path(const std::string& value) = 0;
  virtual void Set_Source_path(const std::string& value) = 0;
  virtual void Set_Description(const std::string& value) = 0;
  virtual void Set_Hash(const std::string& value) = 0;
};

class IXMLFileTypeList : public virtual xml::IXMLNodeCollection {
 public:
  static constexpr const char* IID = "{B9B668F7-555B-40CD-9AE3-183A15E35271}";
  virtual IXMLFileTypePtr Add() = 0;
  virtual IXMLFileTypePtr Insert(int index) = 0;
  virtual IXMLFileTypePtr Get_Item(int index) = 0;
};

class IXMLDllType : public virtual xml::IXMLNode {
 public:
  static constexpr const char* IID = "{15AC9E3C-BB83-4338-BC57-F940A53D4E3C}";
  virtual std::string Get_Name() = 0;
  virtual std::string Get_Date() = 0;
  virtual std::string Get_Version() = 0;
  virtual IXMLFileTypePtr Get_File() = 0;
  virtual void Set_Name(const std::string& value) = 0;
  virtual void Set_Date(const std::string& value) = 0;
  virtual void Set_Version(const std::string& value) = 0;
};

class IXMLDllTypeList : public virtual xml::IXMLNodeCollection {
 public:
  static constexpr const char* IID = "{910D1BA0-18EA-4528-9F6B-3279DC44E6E5}";
  virtual IXMLDllTypePtr Add() = 0;
  virtual IXMLDllTypePtr Insert(int index) = 0;
  virtual IXMLDllTypePtr Get_Item(int index) = 0;
};

// The `dll_lib` texts of a terminal. Get_Item of an empty one raises
// EVariantTypeCastError "Could not convert variant of type (Null) into type (OleStr)".
class IXMLString_List : public virtual xml::IXMLNodeCollection {
 public:
  static constexpr const char* IID = "{9020DBA3-6417-46E6-86C2-16B6F4CB1DA8}";
  virtual xml::IXMLNodePtr Add(const std::string& value) = 0;
  virtual xml::IXMLNodePtr Insert(int index, const std::string& value) = 0;
  virtual std::string Get_Item(int index) = 0;
};

// ---- node classes ----

class TXMLRuv_virad : public xml::TXMLNode, public IXMLRuv_virad {
 public:
  std::string Get_Prog_version() override;
  std::string Get_Admin_email() override;
  std::string Get_Link() override;
  IXMLGuiParamTypePtr Get_ClForm() override;
  IXMLGuiParamTypePtr Get_ClBtnNormal() override;
  IXMLGuiParamTypePtr Get_ClBtnHighlight() override;
  IXMLGuiParamTypePtr Get_ClBtnFrame() override;
  IXMLGuiParamTypePtr Get_ClBtnText() override;
  IXMLGuiParamTypePtr Get_ClText() override;
  IXMLGuiParamTypePtr Get_ClLink() override;
  IXMLGuiParamTypePtr Get_BtnWidth() override;
  IXMLGuiParamTypePtr Get_BtnHeight() override;
  IXMLGuiParamTypePtr Get_TopMargin() override;
  IXMLGuiParamTypePtr Get_Margin() override;
  IXMLGuiParamTypePtr Get_TextSize() override;
  IXMLGuiParamTypePtr Get_BtnTextSize() override;
  IXMLNetworkTypeListPtr Get_Network() override;
  IXMLTerminalTypeListPtr Get_Terminal() override;
  IXMLDllTypeListPtr Get_Dll() override;
  void Set_Prog_version(const std::string& value) override;
  void Set_Admin_email(const std::string& value) override;
  void Set_Link(const std::string& value) override;

 protected:
  void AfterConstruction() override;

 private:
  IXMLGuiParamTypePtr GuiParam(const char* tag);
  IXMLNetworkTypeListPtr FNetwork;
  IXMLTerminalTypeListPtr FTerminal;
  IXMLDllTypeListPtr FDll;
};

class TXMLGuiParamType : public xml::TXMLNode, public IXMLGuiParamType {
 public:
  std::string Get_Value() override;
  void Set_Value(const std::string& value) override;
};

class TXMLNetworkType : public xml::TXMLNode, public IXMLNetworkType {
 public:
  std::string Get_Mask() override;
  std::string Get_Ip() override;
  void Set_Mask(const std::string& value) override;
  void Set_Ip(const std::string& value) override;
};

class TXMLTerminalType : public xml::TXMLNode, public IXMLTerminalType {
 public:
  std::string Get_Id() override;
  std::string Get_Name() override;
  std::string Get_Date() override;
  std::string Get_Version() override;
  IXMLAccess_modePtr Get_Access_mode() override;
  IXMLFileTypePtr Get_Exe_file() override;
  IXMLFileTypeListPtr Get_File() override;
  IXMLFileTypePtr Get_Icon_file() override;
  IXMLString_ListPtr Get_Dll_lib() override;
  void Set_Id(const std::string& value) override;
  void Set_Name(const std::string& value) override;
  void Set_Date(const std::string& value) override;
  void Set_Version(const std::string& value) override;

 protected:
  void AfterConstruction() override;

 private:
  IXMLFileTypeListPtr FFile_;
  IXMLString_ListPtr FDll_lib;
};

class TXMLAccess_mode : public xml::TXMLNode, public IXMLAccess_mode {
 public:
  std::string Get_Value() override;
  void Set_Value(const std::string& value) override;
};

class TXMLFileType : public xml::TXMLNode, public IXMLFileType {
 public:
  std::string Get_Name() override;
  std::string Get_Target_path() override;
  std::string Get_Source_path() override;
  std::string Get_Description() override;
  std::string Get_Hash() override;
  void Set_Name(const std::string& value) override;
  void Set_Target_path(const std::string& value) override;
  void Set_Source_path(const std::string& value) override;
  void Set_Description(const std::string& value) override;
  void Set_Hash(const std::string& value) override;
};

class TXMLDllType : public xml::TXMLNode, public IXMLDllType {
 public:
  std::string Get_Name() override;
  std::string Get_Date() override;
  std::string Get_Version() override;
  IXMLFileTypePtr Get_File() override;
  void Set_Name(const std::string& value) override;
  void Set_Date(const std::string& value) override;
  void Set_Version(const std::string& value) override;

 protected:
  void AfterConstruction() override;
};

// ---- lists ----

// A typed list over the item interface I, offering the list interface L.
template <class I, class L>
class TXMLTypedList : public xml::TXMLNodeCollectionOf<I>, public L {
 public:
  std::shared_ptr<I> Add() override { return this->AddAs(); }
  std::shared_ptr<I> Insert(int index) override { return this->InsertAs(index); }
  std::shared_ptr<I> Get_Item(int index) override { return this->ItemAs(index); }
};

class TXMLNetworkTypeList : public TXMLTypedList<IXMLNetworkType, IXMLNetworkTypeList> {};
class TXMLTerminalTypeList : public TXMLTypedList<IXMLTerminalType, IXMLTerminalTypeList> {};
class TXMLFileTypeList : public TXMLTypedList<IXMLFileType, IXMLFileTypeList> {};
class TXMLDllTypeList : public TXMLTypedList<IXMLDllType, IXMLDllTypeList> {};

class TXMLString_List : public xml::TXMLNodeCollectionOf<xml::IXMLNode>, public IXMLString_List {
 public:
  xml::IXMLNodePtr Add(const std::string& value) override;
  xml::IXMLNodePtr Insert(int index, const std::string& value) override;
  std::string Get_Item(int index) override;
};

}  // namespace ruv::config
