// The whole library: every public header of pressel::pressel, layer by layer.
// Drawing pages (pressel/render/render.hpp) is a library of its own,
// pressel::render, and is not included.
//
// Including one header of a layer costs less to compile than this one: the
// record catalogue and the filters are the heavy parts.
#pragma once

// core: bytes, field types, reading and writing fields, errors
#include "pressel/core/binary.hpp"
#include "pressel/core/buffer.hpp"
#include "pressel/core/bytes.hpp"
#include "pressel/core/codec.hpp"
#include "pressel/core/error.hpp"
#include "pressel/core/json.hpp"
#include "pressel/core/strings.hpp"

// stream: chunks and their code tables, nested items, reading and writing streams
#include "pressel/stream/chunk.hpp"
#include "pressel/stream/codes.hpp"
#include "pressel/stream/io.hpp"
#include "pressel/stream/nested.hpp"
#include "pressel/stream/output.hpp"

// records: the record machinery, the declarations, the catalogue
#include "pressel/catalogue.hpp"
#include "pressel/record.hpp"
#include "pressel/records.hpp"

// text: code pages and the text of a stream
#include "pressel/text/codepages.hpp"
#include "pressel/text/cp835.hpp"
#include "pressel/text/ebcdic.hpp"
#include "pressel/text/text.hpp"

// rewrite: filters, renaming, document operations
#include "pressel/filter.hpp"
#include "pressel/rewrite/document.hpp"
#include "pressel/rewrite/rename.hpp"

// view: uniform views of records, validation
#include "pressel/view.hpp"
#include "pressel/view/check.hpp"
#include "pressel/view/dump.hpp"

// page: the page interpreter and the text of its pages
#include "pressel/page/page.hpp"
#include "pressel/page/page_text.hpp"

// tool: command-line parsing for tools built on the library
#include "pressel/tool/cli.hpp"
