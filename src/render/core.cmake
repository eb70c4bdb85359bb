# Sources of the renderer core (target_sources(tavrel_core ...)).
target_sources(tavrel_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/device_lifecycle.cpp
    ${CMAKE_CURRENT_LIST_DIR}/frame_clock.cpp
    ${CMAKE_CURRENT_LIST_DIR}/frame_loop.cpp
    ${CMAKE_CURRENT_LIST_DIR}/glyph_table.cpp
    ${CMAKE_CURRENT_LIST_DIR}/light_spots.cpp
    ${CMAKE_CURRENT_LIST_DIR}/scene.cpp
    ${CMAKE_CURRENT_LIST_DIR}/spot_fill.cpp
    ${CMAKE_CURRENT_LIST_DIR}/text_overlay.cpp)

if(WIN32)
    # The wide texel kernels are chosen at run time. GCC cannot realign the stack on 64-bit
    # Windows, so a 32- or 64-byte spill could fault there; keep every vector move unaligned.
    set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/spot_fill.cpp
                                TARGET_DIRECTORY tavrel_core
                                PROPERTIES COMPILE_OPTIONS "-Wa,-muse-unaligned-vector-move")
endif()
