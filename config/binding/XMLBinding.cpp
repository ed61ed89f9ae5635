#include "ruv/config/XMLBinding.h"

namespace ruv::config {

namespace {

// The text of a child element, found (or added) by name.
std::string ChildText(xml::IXMLNode& node, const char* tag) { return node.ChildNode(tag)->Text(); }
void SetChildText(xml::IXMLNode& node, const char* tag, const std::string& value) {
  node.ChildNode(tag)->SetNodeValue(value);
}
// The text of an attribute, found (or added empty) by name.
std::string AttributeText(xml::IXMLNode& node, const char* name) { return node.AttributeNode(name)->Text(); }

template <class I>
std::shared_ptr<I> Child(xml::IXMLNode& node, const char* tag) {
  return xml::As<I>(node.ChildNode(tag));
}

constexpr const char* kGuiParams[] = {"clForm",    "clBtnNormal", "clBtnHighlight", "clBtnFrame", "clBtnText",
                                      "clText",    "clLink",      "btnWidth",       "btnHeight",  "topMargin",
                                      "margin",    "textSize",    "btnTextSize"};

}  // namespace

IXMLRuv_viradPtr Getruv_virad(const xml::IXMLDocumentPtr& document) {
  return xml::As<IXMLRuv_virad>(
      document->GetDocBinding("ruv_virad", xml::NodeClass<TXMLRuv_virad>(), TargetNamespace));
}

// ---- TXMLRuv_virad ----

void TXMLRuv_virad::AfterConstruction() {
  for (const char* tag : kGuiParams) RegisterChildNode(tag, xml::NodeClass<TXMLGuiParamType>());
  RegisterChildNode("network", xml::NodeClass<TXMLNetworkType>());
  RegisterChildNode("terminal", xml::NodeClass<TXMLTerminalType>());
  RegisterChildNode("dll", xml::NodeClass<TXMLDllType>());
  FNetwork = CreateCollection<TXMLNetworkTypeList>("network");
  FTerminal = CreateCollection<TXMLTerminalTypeList>("terminal");
  FDll = CreateCollection<TXMLDllTypeList>("dll");
  TXMLNode::AfterConstruction();
}

std::string TXMLRuv_virad::Get_Prog_version() { return AttributeText(*this, "prog_version"); }
std::string TXMLRuv_virad::Get_Admin_email() { return ChildText(*this, "admin_email"); }
std::string TXMLRuv_virad::Get_Link() { return ChildText(*this, "link"); }
IXMLGuiParamTypePtr TXMLRuv_virad::GuiParam(const char* tag) { return Child<IXMLGuiParamType>(*this, tag); }
IXMLGuiParamTypePtr TXMLRuv_virad::Get_ClForm() { return GuiParam("clForm"); }
IXMLGuiParamTypePtr TXMLRuv_virad::Get_ClBtnNormal() { return GuiParam("clBtnNormal"); }
IXMLGuiParamTypePtr TXMLRuv_virad::Get_ClBtnHighlight() { return GuiParam("clBtnHighlight"); }
IXMLGuiParamTypePtr TXMLRuv_virad::Get_ClBtnFrame() { return GuiParam("clBtnFrame"); }
IXMLGuiParamTypePtr TXMLRuv_virad::Get_ClBtnText() { return GuiParam("clBtnText"); }
IXMLGuiParamTypePtr TXMLRuv_virad::Get_ClText() { return GuiParam("clText"); }
IXMLGuiParamTypePtr TXMLRuv_virad::Get_ClLink() { return GuiParam("clLink"); }
IXMLGuiParamTypePtr TXMLRuv_virad::Get_BtnWidth() { return GuiParam("btnWidth"); }
IXMLGuiParamTypePtr TXMLRuv_virad::Get_BtnHeight() { return GuiParam("btnHeight"); }
IXMLGuiParamTypePtr TXMLRuv_virad::Get_TopMargin() { return GuiParam("topMargin"); }
IXMLGuiParamTypePtr TXMLRuv_virad::Get_Margin() { return GuiParam("margin"); }
IXMLGuiParamTypePtr TXMLRuv_virad::Get_TextSize() { return GuiParam("textSize"); }
IXMLGuiParamTypePtr TXMLRuv_virad::Get_BtnTextSize() { return GuiParam("btnTextSize"); }
IXMLNetworkTypeListPtr TXMLRuv_virad::Get_Network() { return FNetwork; }
IXMLTerminalTypeListPtr TXMLRuv_virad::Get_Terminal() { return FTerminal; }
IXMLDllTypeListPtr TXMLRuv_virad::Get_Dll() { return FDll; }
void TXMLRuv_virad::Set_Prog_version(const std::string& value) { SetAttribute("prog_version", value); }
void TXMLRuv_virad::Set_Admin_email(const std::string& value) { SetChildText(*this, "admin_email", value); }
void TXMLRuv_virad::Set_Link(const std::string& value) { SetChildText(*this, "link", value); }

// ---- TXMLGuiParamType, TXMLAccess_mode ----

std::string TXMLGuiParamType::Get_Value() { return AttributeText(*this, "value"); }
void TXMLGuiParamType::Set_Value(const std::string& value) { SetAttribute("value", value); }
std::string TXMLAccess_mode::Get_Value() { return AttributeText(*this, "value"); }
void TXMLAccess_mode::Set_Value(const std::string& value) { SetAttribute("value", value); }

// ---- TXMLNetworkType ----

std::string TXMLNetworkType::Get_Mask() { return AttributeText(*this, "mask"); }
std::string TXMLNetworkType::Get_Ip() { return AttributeText(*this, "ip"); }
void TXMLNetworkType::Set_Mask(const std::string& value) { SetAttribute("mask", value); }
void TXMLNetworkType::Set_Ip(const std::string& value) { SetAttribute("ip", value); }

// ---- TXMLTerminalType ----

void TXMLTerminalType::AfterConstruction() {
  RegisterChildNode("access_mode", xml::NodeClass<TXMLAccess_mode>());
  RegisterChildNode("exe_file", xml::NodeClass<TXMLFileType>());
  RegisterChildNode("file", xml::NodeClass<TXMLFileType>());
  RegisterChildNode("icon_file", xml::NodeClass<TXMLFileType>());
  FFile_ = CreateCollection<TXMLFileTypeList>("file");
  FDll_lib = CreateCollection<TXMLString_List>("dll_lib");
  TXMLNode::AfterConstruction();
}

std::string TXMLTerminalType::Get_Id() { return ChildText(*this, "id"); }
std::string TXMLTerminalType::Get_Name() { return ChildText(*this, "name"); }
std::string TXMLTerminalType::Get_Date() { return ChildText(*this, "date"); }
std::string TXMLTerminalType::Get_Version() { return ChildText(*this, "version"); }
IXMLAccess_modePtr TXMLTerminalType::Get_Access_mode() { return Child<IXMLAccess_mode>(*this, "access_mode"); }
IXMLFileTypePtr TXMLTerminalType::Get_Exe_file() { return Child<IXMLFileType>(*this, "exe_file"); }
IXMLFileTypeListPtr TXMLTerminalType::Get_File() { return FFile_; }
IXMLFileTypePtr TXMLTerminalType::Get_Icon_file() { return Child<IXMLFileType>(*this, "icon_file"); }
IXMLString_ListPtr TXMLTerminalType::Get_Dll_lib() { return FDll_lib; }
void TXMLTerminalType::Set_Id(const std::string& value) { SetChildText(*this, "id", value); }
void TXMLTerminalType::Set_Name(const std::string& value) { SetChildText(*this, "name", value); }
void TXMLTerminalType::Set_Date(const std::string& value) { SetChildText(*this, "date", value); }
void TXMLTerminalType::Set_Version(const std::string& value) { SetChildText(*this, "version", value); }

// ---- TXMLFileType ----

std::string TXMLFileType::Get_Name() { return ChildText(*this, "name"); }
std::string TXMLFileType::Get_Target_path() { return ChildText(*this, "target_path"); }
std::string TXMLFileType::Get_Source_path() { return ChildText(*this, "source_path"); }
std::string TXMLFileType::Get_Description() { return ChildText(*this, "description"); }
std::string TXMLFileType::Get_Hash() { return ChildText(*this, "hash"); }
void TXMLFileType::Set_Name(const std::string& value) { SetChildText(*this, "name", value); }
void TXMLFileType::Set_Target_path(const std::string& value) { SetChildText(*this, "target_path", value); }
void TXMLFileType::Set_Source_path(const std::string& value) { SetChildText(*this, "source_path", value); }
void TXMLFileType::Set_Description(const std::string& value) { SetChildText(*this, "description", value); }
void TXMLFileType::Set_Hash(const std::string& value) { SetChildText(*this, "hash", value); }

// ---- TXMLDllType ----

void TXMLDllType::AfterConstruction() {
  RegisterChildNode("file", xml::NodeClass<TXMLFileType>());
  TXMLNode::AfterConstruction();
}

std::string TXMLDllType::Get_Name() { return ChildText(*this, "name"); }
std::string TXMLDllType::Get_Date() { return ChildText(*this, "date"); }
std::string TXMLDllType::Get_Version() { return ChildText(*this, "version"); }
IXMLFileTypePtr TXMLDllType::Get_File() { return Child<IXMLFileType>(*this, "file"); }
void TXMLDllType::Set_Name(const std::string& value) { SetChildText(*this, "name", value); }
void TXMLDllType::Set_Date(const std::string& value) { SetChildText(*this, "date", value); }
void TXMLDllType::Set_Version(const std::string& value) { SetChildText(*this, "version", value); }

// ---- TXMLString_List ----

xml::IXMLNodePtr TXMLString_List::Add(const std::string& value) { return Insert(-1, value); }

xml::IXMLNodePtr TXMLString_List::Insert(int index, const std::string& value) {
  auto lock = Lock();
  auto item = InsertItem(index);
  item->SetNodeValue(value);
  return item;
}

std::string TXMLString_List::Get_Item(int index) {
  auto lock = Lock();
  return xml::VarToStr(Nodes(index)->NodeValue(), "OleStr");
}

}  // namespace ruv::config
