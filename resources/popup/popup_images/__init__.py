"""Drawing of the survey popup's pictures; draw_images.py runs it."""
