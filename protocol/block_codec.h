#pragma once
// Parameter blocks of P6 and P7 modules, by concern: the raw store of the blocks last read
// (param_mirror.h), the decoders from blocks to records (block_decoders.h), the dispatch of a
// received parameter reply (param_replies.h), the field writer (field_writer.h) and the
// encoders from the P6 and P7 panels back into the store (block_encoders.h). Include the part
// you need; this header includes them all.

#include "protocol/block_decoders.h"
#include "protocol/block_encoders.h"
#include "protocol/field_writer.h"
#include "protocol/param_mirror.h"
#include "protocol/param_replies.h"
