// The query object arrives with the engine.
