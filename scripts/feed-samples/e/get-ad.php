Sound Recorder,http://tarnwick.example/recorder/,Audio
Audio Converter,http://tarnwick.example/converter/,Audio
Video Cutter,http://tarnwick.example/cutter/,Video
Screen Capture,http://tarnwick.example/capture/,Video
Photo Resizer,http://tarnwick.example/resizer/,Images
