// The kept content of a package hung on the model, and finding it again.
#include "core/ooxml/extras.h"

namespace tessarin::ooxml {

bool XmlExtras::SameAs(const host::FileExtras& other) const {
  const auto* o = dynamic_cast<const XmlExtras*>(&other);
  return o && o->xml == xml;
}

size_t XmlExtras::Hash() const { return std::hash<std::string>()(xml); }

host::FileExtrasRef MakeXmlExtras(std::string xml) {
  if (xml.empty()) return {};
  return host::FileExtrasRef(std::make_shared<const XmlExtras>(std::move(xml)));
}

std::string_view XmlExtrasOf(const host::FileExtrasRef& ref) {
  const auto* kept = dynamic_cast<const XmlExtras*>(ref.get());
  return kept ? std::string_view(kept->xml) : std::string_view();
}

bool ColumnExtras::SameAs(const host::FileExtras& other) const {
  const auto* o = dynamic_cast<const ColumnExtras*>(&other);
  return o && o->attrs == attrs && o->width == width && o->chars == chars;
}

size_t ColumnExtras::Hash() const {
  const std::hash<std::string> h;
  return h(attrs) ^ (h(width) * 31) ^ std::hash<double>()(chars);
}

host::FileExtrasRef MakeColumnExtras(std::string attrs, std::string width, double chars) {
  if (attrs.empty() && width.empty()) return {};
  auto kept = std::make_shared<ColumnExtras>();
  kept->attrs = std::move(attrs);
  kept->width = std::move(width);
  kept->chars = chars;
  return host::FileExtrasRef(std::move(kept));
}

const ColumnExtras* ColumnExtrasOf(const host::FileExtrasRef& ref) {
  return dynamic_cast<const ColumnExtras*>(ref.get());
}

bool FormatExtras::SameAs(const host::FileExtras& other) const {
  const auto* o = dynamic_cast<const FormatExtras*>(&other);
  return o && o->fill == fill && o->protection == protection && o->xf_attrs == xf_attrs &&
         o->alignment_attrs == alignment_attrs && o->ext_list == ext_list;
}

size_t FormatExtras::Hash() const {
  const std::hash<std::string> h;
  return h(fill) ^ (h(protection) * 31) ^ (h(xf_attrs) * 1009) ^ (h(alignment_attrs) * 4099) ^
         (h(ext_list) * 8191);
}

const FormatExtras* FormatExtrasOf(const host::FileExtrasRef& ref) {
  return dynamic_cast<const FormatExtras*>(ref.get());
}

const PackageExtras* PackageExtrasOf(const host::Workbook& workbook) {
  return dynamic_cast<const PackageExtras*>(workbook.file_extras().get());
}

const SheetExtras* SheetExtrasOf(const host::Worksheet& sheet) {
  return dynamic_cast<const SheetExtras*>(sheet.file_extras().get());
}

}  // namespace tessarin::ooxml
