// Windows of the panel folder are added to vorta_ui here.
