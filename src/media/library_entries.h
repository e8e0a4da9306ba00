#pragma once

// The entry points resolved from each media library, in the order they are bound.
// Every entry is mandatory: a library lacking one of them is not used at all.
// These lists hold names only, so that tools such as the test libraries can use them
// without the media headers; library_bindings.h gives each name its type.

#define QUILLO_AVCODEC_ENTRIES(FUNCTION)      \
    FUNCTION(avcodec_version)                 \
    FUNCTION(avcodec_alloc_context3)          \
    FUNCTION(avcodec_free_context)            \
    FUNCTION(avcodec_parameters_to_context)   \
    FUNCTION(avcodec_string)                  \
    FUNCTION(avcodec_find_decoder)            \
    FUNCTION(avcodec_find_encoder)            \
    FUNCTION(avcodec_descriptor_get)          \
    FUNCTION(avcodec_get_name)                \
    FUNCTION(avcodec_find_encoder_by_name)    \
    FUNCTION(avcodec_open2)                   \
    FUNCTION(avcodec_send_frame)              \
    FUNCTION(avcodec_receive_packet)          \
    FUNCTION(avcodec_parameters_from_context) \
    FUNCTION(avcodec_encode_subtitle)         \
    FUNCTION(av_packet_alloc)                 \
    FUNCTION(av_packet_free)                  \
    FUNCTION(av_packet_unref)                 \
    FUNCTION(av_packet_rescale_ts)            \
    FUNCTION(av_new_packet)                   \
    FUNCTION(avcodec_get_class)               \
    FUNCTION(avcodec_find_decoder_by_name)    \
    FUNCTION(av_bsf_get_by_name)              \
    FUNCTION(avcodec_send_packet)             \
    FUNCTION(avcodec_receive_frame)           \
    FUNCTION(avcodec_decode_subtitle2)        \
    FUNCTION(avsubtitle_free)                 \
    FUNCTION(avcodec_flush_buffers)           \
    FUNCTION(avcodec_parameters_copy)         \
    FUNCTION(av_packet_ref)                   \
    FUNCTION(av_packet_get_side_data)         \
    FUNCTION(av_bsf_list_parse_str)           \
    FUNCTION(av_bsf_init)                     \
    FUNCTION(av_bsf_send_packet)              \
    FUNCTION(av_bsf_receive_packet)           \
    FUNCTION(av_bsf_free)                     \
    FUNCTION(av_get_audio_frame_duration2)    \
    FUNCTION(av_packet_move_ref)

#define QUILLO_AVDEVICE_ENTRIES(FUNCTION) \
    FUNCTION(avdevice_version)            \
    FUNCTION(avdevice_register_all)

#define QUILLO_AVFILTER_ENTRIES(FUNCTION)           \
    FUNCTION(avfilter_version)                      \
    FUNCTION(avfilter_graph_alloc)                  \
    FUNCTION(avfilter_graph_free)                   \
    FUNCTION(avfilter_get_by_name)                  \
    FUNCTION(avfilter_graph_create_filter)          \
    FUNCTION(avfilter_link)                         \
    FUNCTION(avfilter_graph_parse_ptr)              \
    FUNCTION(avfilter_graph_config)                 \
    FUNCTION(avfilter_inout_alloc)                  \
    FUNCTION(avfilter_inout_free)                   \
    FUNCTION(av_buffersrc_add_frame_flags)          \
    FUNCTION(av_buffersink_get_frame)               \
    FUNCTION(av_buffersink_get_w)                   \
    FUNCTION(av_buffersink_get_h)                   \
    FUNCTION(av_buffersink_get_sample_aspect_ratio) \
    FUNCTION(av_buffersink_get_time_base)
#define QUILLO_AVFORMAT_ENTRIES(FUNCTION)    \
    FUNCTION(avformat_version)               \
    FUNCTION(av_find_input_format)           \
    FUNCTION(avio_size)                      \
    FUNCTION(avio_flush)                     \
    FUNCTION(avio_read)                      \
    FUNCTION(avio_write)                     \
    FUNCTION(avio_seek)                      \
    FUNCTION(avformat_alloc_context)         \
    FUNCTION(avformat_open_input)            \
    FUNCTION(avformat_find_stream_info)      \
    FUNCTION(avformat_close_input)           \
    FUNCTION(avio_alloc_context)             \
    FUNCTION(avio_context_free)              \
    FUNCTION(avformat_alloc_output_context2) \
    FUNCTION(avformat_free_context)          \
    FUNCTION(avformat_new_stream)            \
    FUNCTION(avformat_write_header)          \
    FUNCTION(av_interleaved_write_frame)     \
    FUNCTION(av_write_trailer)               \
    FUNCTION(avio_open)                      \
    FUNCTION(avio_closep)                    \
    FUNCTION(av_new_program)                 \
    FUNCTION(av_program_add_stream_index)    \
    FUNCTION(avformat_get_class)             \
    FUNCTION(av_guess_format)                \
    FUNCTION(av_guess_codec)                 \
    FUNCTION(av_filename_number_test)        \
    FUNCTION(av_seek_frame)                  \
    FUNCTION(av_dump_format)                 \
    FUNCTION(av_muxer_iterate)               \
    FUNCTION(av_read_frame)                  \
    FUNCTION(av_sdp_create)                  \
    FUNCTION(av_codec_get_tag)               \
    FUNCTION(av_codec_get_id)                \
    FUNCTION(av_pkt_dump_log2)               \
    FUNCTION(av_hex_dump_log)                \
    FUNCTION(av_find_best_stream)            \
    FUNCTION(av_stream_new_side_data)        \
    FUNCTION(avformat_seek_file)             \
    FUNCTION(av_read_pause)                  \
    FUNCTION(av_read_play)

#define QUILLO_AVUTIL_ENTRIES(FUNCTION)   \
    FUNCTION(avutil_version)              \
    FUNCTION(av_freep)                    \
    FUNCTION(av_gcd)                      \
    FUNCTION(av_reduce)                   \
    FUNCTION(av_rescale_q)                \
    FUNCTION(av_parse_time)               \
    FUNCTION(av_dict_count)               \
    FUNCTION(av_version_info)             \
    FUNCTION(av_log)                      \
    FUNCTION(av_log_set_callback)         \
    FUNCTION(av_log_set_level)            \
    FUNCTION(av_log_get_level)            \
    FUNCTION(av_dict_get)                 \
    FUNCTION(av_dict_set)                 \
    FUNCTION(av_dict_free)                \
    FUNCTION(av_malloc)                   \
    FUNCTION(av_free)                     \
    FUNCTION(av_image_get_buffer_size)    \
    FUNCTION(av_image_fill_arrays)        \
    FUNCTION(av_get_pix_fmt_name)         \
    FUNCTION(av_strerror)                 \
    FUNCTION(av_frame_alloc)              \
    FUNCTION(av_frame_free)               \
    FUNCTION(av_frame_get_buffer)         \
    FUNCTION(av_frame_make_writable)      \
    FUNCTION(av_frame_copy)               \
    FUNCTION(av_frame_copy_props)         \
    FUNCTION(av_channel_layout_from_mask) \
    FUNCTION(av_channel_layout_copy)      \
    FUNCTION(av_compare_ts)               \
    FUNCTION(av_get_sample_fmt_name)      \
    FUNCTION(av_opt_find)                 \
    FUNCTION(av_opt_set)                  \
    FUNCTION(av_opt_get)                  \
    FUNCTION(av_opt_get_int)              \
    FUNCTION(av_opt_set_int)              \
    FUNCTION(av_opt_set_double)           \
    FUNCTION(av_parse_video_rate)         \
    FUNCTION(av_parse_video_size)         \
    FUNCTION(av_pix_fmt_desc_next)        \
    FUNCTION(av_get_pix_fmt)              \
    FUNCTION(av_get_sample_fmt)           \
    FUNCTION(av_d2q)                      \
    FUNCTION(av_find_nearest_q_idx)       \
    FUNCTION(av_channel_layout_default)   \
    FUNCTION(av_channel_layout_uninit)    \
    FUNCTION(av_frame_unref)              \
    FUNCTION(av_frame_ref)                \
    FUNCTION(av_frame_is_writable)        \
    FUNCTION(av_frame_apply_cropping)     \
    FUNCTION(av_samples_set_silence)      \
    FUNCTION(av_audio_fifo_alloc)         \
    FUNCTION(av_audio_fifo_free)          \
    FUNCTION(av_audio_fifo_write)         \
    FUNCTION(av_audio_fifo_read)          \
    FUNCTION(av_audio_fifo_size)          \
    FUNCTION(av_get_bytes_per_sample)     \
    FUNCTION(av_sample_fmt_is_planar)     \
    FUNCTION(av_rescale_q_rnd)            \
    FUNCTION(av_channel_layout_compare)   \
    FUNCTION(av_dict_copy)                \
    FUNCTION(av_get_picture_type_char)    \
    FUNCTION(av_opt_set_bin)              \
    FUNCTION(av_int_list_length_for_size) \
    FUNCTION(av_strdup)                   \
    FUNCTION(av_mallocz)                  \
    FUNCTION(av_pix_fmt_desc_get)         \
    FUNCTION(av_get_media_type_string)    \
    FUNCTION(av_image_get_linesize)       \
    FUNCTION(av_pix_fmt_count_planes)     \
    FUNCTION(av_frame_move_ref)           \
    FUNCTION(av_image_copy)

#define QUILLO_SWSCALE_ENTRIES(FUNCTION) \
    FUNCTION(swscale_version)            \
    FUNCTION(sws_isSupportedInput)       \
    FUNCTION(sws_isSupportedOutput)      \
    FUNCTION(sws_getCachedContext)       \
    FUNCTION(sws_scale)                  \
    FUNCTION(sws_freeContext)            \
    FUNCTION(sws_get_class)              \
    FUNCTION(sws_getContext)

#define QUILLO_SWRESAMPLE_ENTRIES(FUNCTION) \
    FUNCTION(swresample_version)            \
    FUNCTION(swr_alloc_set_opts2)           \
    FUNCTION(swr_init)                      \
    FUNCTION(swr_free)                      \
    FUNCTION(swr_convert)                   \
    FUNCTION(swr_set_compensation)          \
    FUNCTION(swr_inject_silence)            \
    FUNCTION(swr_get_out_samples)           \
    FUNCTION(swr_get_delay)
#define QUILLO_SDL2_ENTRIES(FUNCTION)   \
    FUNCTION(SDL_GetVersion)            \
    FUNCTION(SDL_GetError)              \
    FUNCTION(SDL_Init)                  \
    FUNCTION(SDL_Quit)                  \
    FUNCTION(SDL_InitSubSystem)         \
    FUNCTION(SDL_QuitSubSystem)         \
    FUNCTION(SDL_WasInit)               \
    FUNCTION(SDL_GetCurrentAudioDriver) \
    FUNCTION(SDL_SetHint)               \
    FUNCTION(SDL_OpenAudioDevice)       \
    FUNCTION(SDL_CloseAudioDevice)      \
    FUNCTION(SDL_PauseAudioDevice)      \
    FUNCTION(SDL_MixAudioFormat)        \
    FUNCTION(SDL_LockAudioDevice)       \
    FUNCTION(SDL_UnlockAudioDevice)
