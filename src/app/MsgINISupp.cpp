// placeholder, filled by the message catalogue work
