// The whole public interface of lumora: a program needs no other header.
#pragma once

#include "lumora/framework/component.h"
#include "lumora/framework/exception.h"
#include "lumora/framework/list.h"
#include "lumora/framework/object.h"
#include "lumora/framework/registry.h"
#include "lumora/framework/stream.h"
#include "lumora/framework/strings.h"
#include "lumora/framework/sysutils.h"
#include "lumora/framework/utf8.h"

#include "lumora/text/char_classes.h"
#include "lumora/text/code_pages.h"
#include "lumora/text/conversions.h"
#include "lumora/text/iconv_encodings.h"
#include "lumora/text/string_buffer.h"
#include "lumora/text/wide_strings.h"

#include "lumora/dom/attr.h"
#include "lumora/dom/character_data.h"
#include "lumora/dom/container.h"
#include "lumora/dom/document.h"
#include "lumora/dom/dom_exception.h"
#include "lumora/dom/element.h"
#include "lumora/dom/named_node_map.h"
#include "lumora/dom/node.h"
#include "lumora/dom/node_list.h"

#include "lumora/dtd/attribute_types.h"
#include "lumora/dtd/content_model.h"
#include "lumora/dtd/document_type.h"
#include "lumora/dtd/element_decl.h"
#include "lumora/dtd/external_node.h"
#include "lumora/dtd/id_table.h"
#include "lumora/dtd/references.h"

#include "lumora/io/errors_list.h"
#include "lumora/io/file_streams.h"
#include "lumora/io/orvane_error.h"
#include "lumora/io/wide_output.h"
#include "lumora/io/write_mode.h"

#include "lumora/parser/content_model_parser.h"
#include "lumora/parser/orvane.h"

#include "lumora/package/package.h"
