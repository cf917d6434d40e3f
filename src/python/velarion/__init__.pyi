from os import PathLike
from typing import Any, Literal, Optional, Union

import xarray as xr

__version__: str

class RunError(RuntimeError): ...
class InstabilityWarning(UserWarning): ...

def defaults() -> dict[str, Union[str, bool]]: ...
def run(
    run: Literal["double", "girotondo", "precision"] = ...,
    free_end: Literal["seed", "restoring"] = ...,
    threads: Optional[int] = ...,
    *,
    first_end: Literal["counter-pressure", "closed", "valve"] = ...,
    closing_time: Optional[float] = ...,
    last_end: Optional[Literal["seed", "restoring", "closed"]] = ...,
    friction: float = ...,
    log_file: Optional[Union[str, PathLike[str]]] = ...,
    results: Optional[Union[str, PathLike[str]]] = ...,
    envelope: bool = ...,
    progress: bool = ...,
    **boxes: Union[int, float, str, bool],
) -> xr.Dataset: ...
def verify(
    free_end: Literal["seed", "restoring"] = ...,
    *,
    first_end: Literal["counter-pressure", "closed", "valve"] = ...,
    closing_time: Optional[float] = ...,
    last_end: Optional[Literal["seed", "restoring", "closed"]] = ...,
    friction: float = ...,
    **boxes: Union[int, float, str],
) -> xr.Dataset: ...
def open(path: Union[str, PathLike[str]]) -> xr.Dataset: ...
