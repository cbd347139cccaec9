import MIXTABLE
