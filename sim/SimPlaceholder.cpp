// The virtual plant library; its devices and vessels are added here.
