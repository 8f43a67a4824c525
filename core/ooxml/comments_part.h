// The comments part (xl/commentsN.xml) and the legacy drawing (VML) that gives each comment its
// box, size and visibility.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/host/worksheet.h"
#include "core/ooxml/extras.h"
#include "core/ooxml/xml_util.h"

namespace tessarin::ooxml {

// Reads the comments into the cells they annotate (creating empty cells where needed, since a
// comment on a cell without a value is a comment all the same). Throws HostError 1004 naming
// file and part when the part is malformed or a reference is outside the sheet.
void ReadComments(std::string_view xml, std::string_view file, std::string_view part,
                  host::Worksheet& sheet, SheetExtras& extras);

// Reads the VML drawing: note shapes give their comment's size, visibility and shape; every
// other shape is kept in extras.vml_shapes. Tolerates the HTML-like VML that real files hold.
void ReadCommentShapes(std::string_view vml, host::Worksheet& sheet, SheetExtras& extras);

// True when the sheet needs a comments part.
bool HasComments(const host::Worksheet& sheet);

std::string WriteComments(const host::Worksheet& sheet, const SheetExtras* extras,
                          const Namespaces& ns);

// Writes the VML drawing for the sheet's comments (and the shapes kept from the file). Note
// shapes get ids from the 1024-id blocks in `blocks` (at least one; one block per 1023 notes).
std::string WriteCommentShapes(const host::Worksheet& sheet, const SheetExtras* extras,
                               const std::vector<int>& blocks, int max_digit_width);

// Number of id blocks the sheet's VML drawing needs.
int CommentShapeBlocks(const host::Worksheet& sheet);

}  // namespace tessarin::ooxml
