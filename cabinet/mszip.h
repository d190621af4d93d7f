// MSZIP decoder: inflates one "CK"-prefixed deflate block of a cabinet folder per call.
#pragma once

#include "cab_decoder.h"

struct MszipDecoder;

constexpr uint32_t MSZIP_TAG = 0x4349444D;

// Clamps *max_block_size (0 or above 32768 becomes 32768) and reports the compressed-buffer size.
// With a null handle pointer only the sizes are computed. The decoder is freed by MszipDestroy.
int32_t MszipCreate(uint32_t* max_block_size,
                    CabAllocFn alloc,
                    CabFreeFn free_fn,
                    uint32_t* compressed_buffer_size,
                    MszipDecoder** handle);

// Decodes one block into output, which must be the same 32768-byte buffer for every block of a
// folder: its contents are the history window. *output_size is the room on entry and the bytes
// produced on return.
int32_t MszipDecompress(MszipDecoder* handle,
                        const uint8_t* input,
                        uint32_t input_size,
                        uint8_t* output,
                        uint32_t* output_size);

// Forgets the history at the start of a new folder.
int32_t MszipReset(MszipDecoder* handle);

// Clears the tag and frees the decoder.
int32_t MszipDestroy(MszipDecoder* handle);
