// Rewriting streams, all of it: nested access and apply (nested_access.hpp),
// the output queue of a rewriting handler (chunk_queue.hpp), filters keyed by
// record type and their builders (chunk_filters.hpp), the lazy filtered range
// (mapped_chunks.hpp), filters of nested streams (deep_filters.hpp), and the
// record declarations and run-time catalogue the handlers work with.
//
// Each of these headers stands on its own; a file that uses one part includes
// that part (and records.hpp for the records it names) rather than this one.
#pragma once

#include "pressel/catalogue.hpp"
#include "pressel/rewrite/chunk_filters.hpp"
#include "pressel/rewrite/chunk_queue.hpp"
#include "pressel/rewrite/deep_filters.hpp"
#include "pressel/rewrite/mapped_chunks.hpp"
#include "pressel/rewrite/nested_access.hpp"
#include "pressel/records.hpp"
