# ARM applets: ExternalProject glue goes here
