# Sources of the renderer core (target_sources(tavrel_core ...)).
target_sources(tavrel_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/device_lifecycle.cpp
    ${CMAKE_CURRENT_LIST_DIR}/frame_clock.cpp
    ${CMAKE_CURRENT_LIST_DIR}/frame_loop.cpp
    ${CMAKE_CURRENT_LIST_DIR}/glyph_table.cpp
    ${CMAKE_CURRENT_LIST_DIR}/light_spots.cpp
    ${CMAKE_CURRENT_LIST_DIR}/scene.cpp
    ${CMAKE_CURRENT_LIST_DIR}/spot_fill.cpp)
