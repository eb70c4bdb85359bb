# Sources of the renderer core (target_sources(tavrel_core ...)).
