// Names of the entry points each media library must export, in binding order.
// Only the libraries' version headers (macros, no declarations) are included,
// so that test stand-in libraries can be built from the same lists. A library
// binds only when every name is found.
#pragma once

#include <libavcodec/version.h>
#include <libavformat/version.h>

// Where FFmpeg 5.1 and 7.1 differ, each build binds the names of the version
// whose headers it is built with, and only those (8.0 drops the deprecated
// ones). The boundaries are the versions that brought the newer interface.
#define MELVARO_HAS_CODEC_SUPPORTED_CONFIG (LIBAVCODEC_VERSION_INT >= AV_VERSION_INT(61, 13, 100))
#define MELVARO_HAS_CODECPAR_SIDE_DATA (LIBAVFORMAT_VERSION_INT >= AV_VERSION_INT(60, 15, 100))

#if MELVARO_HAS_CODEC_SUPPORTED_CONFIG
#define MELVARO_AVCODEC_SUPPORTED_CONFIG(X) X(avcodec_get_supported_config)
#else
#define MELVARO_AVCODEC_SUPPORTED_CONFIG(X)
#endif
#if MELVARO_HAS_CODECPAR_SIDE_DATA
#define MELVARO_AVCODEC_SIDE_DATA(X) X(av_packet_side_data_new)
#define MELVARO_AVFORMAT_SIDE_DATA(X)
#else
#define MELVARO_AVCODEC_SIDE_DATA(X)
#define MELVARO_AVFORMAT_SIDE_DATA(X) X(av_stream_new_side_data)
#endif

#define MELVARO_AVCODEC_ENTRY_POINTS(X) \
  X(avcodec_version)                    \
  X(avcodec_alloc_context3)             \
  X(avcodec_free_context)               \
  X(avcodec_find_encoder)               \
  X(avcodec_find_decoder)               \
  X(avcodec_find_encoder_by_name)       \
  X(avcodec_find_decoder_by_name)       \
  X(av_codec_iterate)                   \
  X(avcodec_get_class)                  \
  X(avcodec_open2)                      \
  X(avcodec_send_packet)                \
  X(avcodec_receive_frame)              \
  X(avcodec_send_frame)                 \
  X(avcodec_receive_packet)             \
  X(avcodec_flush_buffers)              \
  X(avcodec_parameters_alloc)           \
  X(avcodec_parameters_free)            \
  X(avcodec_parameters_copy)            \
  X(avcodec_parameters_to_context)      \
  X(avcodec_parameters_from_context)    \
  X(av_packet_alloc)                    \
  X(av_packet_free)                     \
  X(av_packet_unref)                    \
  X(av_packet_ref)                      \
  X(av_new_packet)                      \
  X(avcodec_get_name)                   \
  X(av_packet_rescale_ts)               \
  X(av_packet_move_ref)                 \
  X(av_packet_copy_props)               \
  X(av_bsf_get_by_name)                 \
  X(av_bsf_alloc)                       \
  X(av_bsf_init)                        \
  X(av_bsf_send_packet)                 \
  X(av_bsf_receive_packet)              \
  X(av_bsf_free)                        \
  X(av_packet_get_side_data)            \
  X(avcodec_decode_subtitle2)           \
  X(avcodec_encode_subtitle)            \
  X(avsubtitle_free)                    \
  MELVARO_AVCODEC_SUPPORTED_CONFIG(X)   \
  MELVARO_AVCODEC_SIDE_DATA(X)

#define MELVARO_AVFORMAT_ENTRY_POINTS(X) \
  X(avformat_version)                    \
  X(avformat_alloc_context)              \
  X(avformat_free_context)               \
  X(avformat_get_class)                  \
  X(avformat_open_input)                 \
  X(avformat_close_input)                \
  X(avformat_find_stream_info)           \
  X(av_find_input_format)                \
  X(av_guess_format)                     \
  X(av_guess_codec)                      \
  X(avformat_new_stream)                 \
  MELVARO_AVFORMAT_SIDE_DATA(X)          \
  X(avformat_write_header)               \
  X(av_write_trailer)                    \
  X(av_interleaved_write_frame)          \
  X(av_read_frame)                       \
  X(av_seek_frame)                       \
  X(av_dump_format)                      \
  X(avio_open2)                          \
  X(avio_closep)                         \
  X(avio_size)                           \
  X(avio_seek)                           \
  X(avio_read)                           \
  X(av_codec_get_id)                     \
  X(av_codec_get_tag)                    \
  X(av_sdp_create)                       \
  X(avformat_alloc_output_context2)      \
  X(av_filename_number_test)             \
  X(av_probe_input_format2)              \
  X(av_guess_frame_rate)

#define MELVARO_AVUTIL_ENTRY_POINTS(X) \
  X(avutil_version)                    \
  X(av_log_set_callback)               \
  X(av_log_default_callback)           \
  X(av_log_get_level)                  \
  X(av_log_set_level)                  \
  X(av_log)                            \
  X(av_default_item_name)              \
  X(av_strerror)                       \
  X(av_malloc)                         \
  X(av_mallocz)                        \
  X(av_realloc)                        \
  X(av_fast_realloc)                   \
  X(av_free)                           \
  X(av_freep)                          \
  X(av_strdup)                         \
  X(av_strlcpy)                        \
  X(av_rescale)                        \
  X(av_rescale_q)                      \
  X(av_reduce)                         \
  X(av_gettime)                        \
  X(av_opt_find)                       \
  X(av_opt_set)                        \
  X(av_opt_get)                        \
  X(av_opt_get_int)                    \
  X(av_opt_set_int)                    \
  X(av_opt_copy)                       \
  X(av_dict_set)                       \
  X(av_dict_get)                       \
  X(av_dict_copy)                      \
  X(av_dict_free)                      \
  X(av_frame_alloc)                    \
  X(av_frame_free)                     \
  X(av_frame_unref)                    \
  X(av_frame_move_ref)                 \
  X(av_frame_get_buffer)               \
  X(av_frame_make_writable)            \
  X(av_channel_layout_default)         \
  X(av_channel_layout_uninit)          \
  X(av_channel_layout_copy)            \
  X(av_channel_layout_channel_from_index) \
  X(av_channel_layout_describe)        \
  X(av_d2q)                            \
  X(av_get_bytes_per_sample)           \
  X(av_get_sample_fmt_name)            \
  X(av_get_pix_fmt)                    \
  X(av_get_pix_fmt_name)               \
  X(av_pix_fmt_desc_get)               \
  X(av_parse_video_rate)               \
  X(av_parse_video_size)               \
  X(av_samples_get_buffer_size)        \
  X(av_fifo_alloc2)                    \
  X(av_fifo_write)                     \
  X(av_fifo_read)                      \
  X(av_fifo_can_read)                  \
  X(av_fifo_can_write)                 \
  X(av_fifo_grow2)                     \
  X(av_fifo_freep2)                    \
  X(av_channel_layout_compare)         \
  X(av_frame_ref)                      \
  X(av_frame_is_writable)              \
  X(av_buffer_unref)                   \
  X(av_buffer_pool_init)               \
  X(av_buffer_pool_get)                \
  X(av_buffer_pool_uninit)             \
  X(av_image_get_buffer_size)          \
  X(av_image_fill_arrays)              \
  X(av_audio_fifo_alloc)               \
  X(av_audio_fifo_free)                \
  X(av_audio_fifo_write)               \
  X(av_audio_fifo_read)                \
  X(av_audio_fifo_size)                \
  X(av_samples_set_silence)            \
  X(av_sample_fmt_is_planar)           \
  X(av_get_packed_sample_fmt)          \
  X(av_base64_encode)

#define MELVARO_SWSCALE_ENTRY_POINTS(X) \
  X(swscale_version)                    \
  X(sws_get_class)                      \
  X(sws_getContext)                     \
  X(sws_freeContext)                    \
  X(sws_scale)

#define MELVARO_SWRESAMPLE_ENTRY_POINTS(X) \
  X(swresample_version)                    \
  X(swr_alloc_set_opts2)                   \
  X(swr_init)                              \
  X(swr_convert)                           \
  X(swr_get_delay)                         \
  X(swr_get_out_samples)                   \
  X(swr_set_matrix)                        \
  X(swr_free)
